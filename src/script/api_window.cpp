// Script binding for the window title.
#include "gfx/graphics.h"
#include "script/api_common.h"

namespace {

int gfxSetTitle(lua_State* L) {
  checkArgCount(L, "GfxSetTitle", 1, 1);
  setWindowCaption(lua_tostring(L, 1));  // none restores the default caption
  return 0;
}

}  // namespace

const luaL_Reg windowApi[] = {{"GfxSetTitle", gfxSetTitle}, {nullptr, nullptr}};
