// ResourceLimits: what the process needs of the system to serve a few
// thousand clients at once.
//
// raiseOpenFileLimit lifts the soft limit of open descriptors to the hard
// maximum (a fresh machine's soft limit is 1024: every inbound upload, every
// outgoing command connection and every file being written holds one).
// Failing to raise it is not an error; the old limit stays.
//
// keepLargeBlocksOutOfTheHeap gives every block of 128 KiB or more its own
// mapping, returned to the system when freed. Upload buffers and decoded
// records come and go by the megabyte; by default the C library would, after
// the first such block is freed, serve them from its heap, where freed memory
// stays resident and a burst of hostile uploads leaves the process large.
// False when the C library did not take the setting.
//
// preferOwnEventLoop makes the application object, created after the call,
// poll its sockets with Qt's own event loop rather than GLib's. Under a
// flood of connections opening and closing, GLib's loop was seen to leave a
// connection's waiting data unread for as long as the flood lasted (tens of
// seconds; a good upload stored only once the flood stopped), where Qt's own
// loop reads every ready socket in turn. For programs without windows (a
// desktop's file dialogs may need GLib's loop); a QT_NO_GLIB the user set is
// kept.
//
// lowerThisThreadsPriority makes the calling thread yield the processor to
// the others of the process (the intake's event loop before the decoding of
// uploads): ten nice steps below its own, at most 19, never above what the
// process runs at. Failing is not an error either.
#pragma once

namespace quorvane {

// Returns the soft limit in force afterwards (-1 when it cannot be read).
long raiseOpenFileLimit();
bool keepLargeBlocksOutOfTheHeap();
void preferOwnEventLoop();
void lowerThisThreadsPriority();

}  // namespace quorvane
