#pragma once

namespace orvalin {

// Every change of the input box copies its whole text (twice: the document's text, then the
// same with CR LF breaks). With glibc's defaults a copy of more than a few MiB is mapped fresh
// from the kernel and unmapped when freed, so a keystroke after an 8 MB paste paid about 45 ms
// of page faults for every copy. Raising the mapping and trimming thresholds keeps such blocks
// in the heap, where the next keystroke reuses pages already touched. Called once at start.
void keepLargeTextBuffersInHeap();

}  // namespace orvalin
