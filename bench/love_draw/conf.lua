-- An 800 x 600 window without vsync, so that frames per second measure drawing.
function love.conf(t)
  t.window.title = "love_draw"
  t.window.width = 800
  t.window.height = 600
  t.window.vsync = 0
  for _, m in ipairs({ "audio", "sound", "joystick", "physics", "touch", "video", "thread" }) do
    t.modules[m] = false
  end
end
