#pragma once
// Qt's image readers and writers, Poppler and the font libraries make
// statics at their first use, destroyed at exit in the reverse order of
// their making.

namespace docserver::imaging {

// Makes them now, by reading, writing and drawing a small image of every
// kind the engine handles: a process's exit handler registered afterwards
// runs before any of them is destroyed. Call it on a thread that lasts for
// the process: the first thread that makes a Qt object is Qt's main thread.
void MakeLazyStatics();

}  // namespace docserver::imaging
