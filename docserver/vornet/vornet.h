#pragma once
// The local-access library's entry points, loaded at run time by hosts such
// as the viewer. Every call answers -1 for a handle it does not know.
//
// Threads
// - Any thread may call on any handle; calls run one at a time in the
//   process (a call waiting for another's sleeps). A call from a signal
//   handler that interrupted its thread's own call answers -1 at once.
// - A reply belongs to the request that asked for it: INET_ProcessCommand
//   hands out a message reference, fresh for each request and never handed
//   out again, and INET_CopyMsgData copies that request's reply, on any
//   thread, as often as asked, whole or in part. It is kept until the
//   thread that asked makes its next request on that handle, or the handle
//   closes or is freed; past 256 on one handle, the oldest goes. A copy of
//   a reply no longer kept, or of a reference never handed out, answers -1
//   and leaves in the buffer (as much as fits) a text beginning "ERROR: "
//   that says so. An empty reply gets the reference 0, never handed out.
// - A thread's database connections are closed when the thread ends: a
//   thread that asks once and ends holds no descriptor afterwards.
// - No thread the library starts outlives its work: a concept search runs
//   on a thread of its own until it has its result, and Qt scales large
//   images on its global thread pool, which the first INET_ConnectLocal
//   sets to end its threads as soon as they are idle (expiry 0).
// - Qt takes the first thread that makes one of its objects for its main
//   thread, and the first INET_ConnectLocal makes Qt's image objects on its
//   calling thread: a host that makes a Qt application makes it, or its
//   first connect, on its main thread.
//
// Exit
// - A host may exit as it likes (exit on any thread, a return from main, a
//   signal handler that calls exit, main ending with pthread_exit) while
//   other threads are inside calls. The library's exit handler, registered
//   at the first INET_ConnectLocal, lets no call begin (each answers -1 at
//   once) and waits up to 5 seconds for the call in progress to end; not
//   for one waiting for another program's lock on the system, which then
//   never goes on. It takes no lock and wakes no thread, so a signal
//   handler's exit runs it whatever the handler interrupted. Every save a
//   reply acknowledged is on disk.
// - A signal handler's exit on a thread inside a call ends the process in
//   the library's exit handler, with the status given to exit (as _exit):
//   the call it interrupted may hold the C library's allocator, Qt's or
//   SQLite's locks, which the exit handlers and destructors still to run
//   would wait for for good. Handlers registered before the first
//   INET_ConnectLocal do not run then, and stdio's buffers are not flushed.
// - Nothing the library makes, nor Qt's image statics it uses, is destroyed
//   before that handler runs, and no per-thread state of the library's is
//   destroyed at exit.
// - An exit handler the host registers after its first INET_ConnectLocal
//   runs before the library's, and may close and free its handles. One
//   registered before finds the library ended: its calls answer -1.
// - The library is never unloaded: dlclose leaves it in place.
// - Signals reach the host as they would without the library.
//
// fork
// - A fork ends the wait of a call waiting for another program's lock (it
//   answers "ERROR: Database Busy, Try Again", as when its wait runs out,
//   and lets its locks go), then waits up to 5 seconds for the call in
//   progress to end, and for a thread that ends to give back its
//   connections; calls wait (asleep) for the fork. In the child the
//   parent's connections are let go without a word to the system (a child
//   must not use the parent's SQLite connections): calls on their handles
//   answer -1 until INET_ConnectLocal connects them again. The child may
//   call or exit at once.
// - Where another thread was still at work on the system when the fork went
//   ahead (a call past those 5 seconds, or a concept search still
//   searching), SQLite in the child counts locks it does not hold and would
//   find the system locked for good: the child's INET_ConnectLocal answers
//   -3 and INET_ConnectError says why. A host that calls in its child forks
//   while no other thread of it is inside a call or has a search running.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// A new handle; 0 when none can be made.
int32_t INET_AllocateConnectionHndl(void);
// mode 1 (network drive) or 2 (local disk): 0 when connected.
int32_t INET_ConnectLocal(int32_t mode, int32_t handle);
// Why the handle's last INET_ConnectLocal failed: copies at most length
// bytes and answers the reason's whole length.
int32_t INET_ConnectError(int32_t handle, char* buffer, int32_t length);
// Runs the command (commandLength bytes, Windows-1252, uploads carry bytes
// after a NUL). 0 with the reply's reference and length, -1 when the
// handle is not connected or the system ended the connection.
int32_t INET_ProcessCommand(int32_t handle, const char* command, int32_t commandLength,
                            int32_t* messageRef, int32_t* messageLength);
// Copies at most length bytes of the reply and answers how many; flags are
// 0. A null buffer or a negative length answers -1 and keeps the reply.
// A reply not kept answers -1 and leaves why in the buffer.
int32_t INET_CopyMsgData(int32_t messageRef, char* buffer, int32_t length, int32_t flags);
// Ends the handle's session; the handle stays, to connect again.
int32_t INET_CloseConnection(int32_t handle);
int32_t INET_FreeConnectionHndl(int32_t handle);
// 0 while the handle is connected.
int32_t INET_ValidateConnection(int32_t handle);

#ifdef __cplusplus
}
#endif
