// Waiting inside a local Qt event loop, so the window paints and timers tick meanwhile.
#pragma once

// Returns once `fd` is readable. Robust against the loop being ended from outside.
void WaitReadableInEventLoop(int fd);
// Returns after `milliseconds`, dispatching events meanwhile.
void PauseInEventLoop(int milliseconds);
