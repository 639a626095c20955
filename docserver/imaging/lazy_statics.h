#pragma once
// Qt's image readers and writers, Poppler and the font libraries make
// statics at their first use, destroyed at exit in the reverse order of
// their making.

namespace docserver::imaging {

// Makes them now, by reading, writing and drawing a small image of every
// kind the engine handles: a process's exit handler registered afterwards
// runs before any of them is destroyed. The first thread that makes a Qt
// object is Qt's main thread: without a Qt application, call it on the
// thread a later one would be made on. Qt's global thread pool, made here,
// ends its threads as soon as they are idle: none outlives the work.
void MakeLazyStatics();

}  // namespace docserver::imaging
