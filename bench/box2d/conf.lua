-- Headless: no window, no graphics, no sound; only physics and the timer.
function love.conf(t)
  t.window = false
  for _, m in ipairs({ "audio", "sound", "graphics", "window", "image", "font", "video",
                       "joystick", "keyboard", "mouse", "touch", "thread", "system" }) do
    t.modules[m] = false
  end
end
