#pragma once

// Lets pending events of the calling thread run (timers, request completions, page calls),
// as long steps do between their pieces of work.
void LetPendingEventsRun();
