#pragma once

#include <cstddef>

// Every limit the viewer's server sets, each against the attack it stops.
// The page needs little: a few connections, short requests, a command line.
namespace viewer::limits {

// Connections in all: room for the page's few beside hundreds of idle or
// slow ones, each of which costs a socket and a little memory, never a thread.
constexpr unsigned maxConnections = 256;
// Connections waiting for a request (idle or slow) beyond which the one that
// has waited longest is closed for a new one: the rest is room for the page.
constexpr size_t maxWaitingConnections = maxConnections - 32;
// Slots kept free for the next connections. A connection beyond the rest
// pushes out the one that has waited longest for a request: were every slot
// taken (slow readers holding some, idle sockets the others), a new one would
// wait unaccepted in the kernel's queue until an idle one timed out.
constexpr size_t spareConnections = 16;
// Per client address, beyond loopback (on loopback every client, the page
// included, has the same address): one machine cannot take every slot.
constexpr unsigned maxConnectionsPerAddress = 32;
// A connection that sends nothing for this long is closed (between requests
// too), so idle sockets give their slots back.
constexpr unsigned idleSeconds = 10;
// Time to send a whole request, head and body, from the moment the connection
// is ready for it: a client that trickles bytes loses its connection.
constexpr unsigned requestSeconds = 10;
// Memory for one connection's request head and read buffer; a head that
// does not fit gets 431, so many or long header fields cannot grow memory.
constexpr size_t connectionMemoryBytes = 16 * 1024;
// Header fields in one request: the page sends about a dozen.
constexpr unsigned maxHeaderCount = 64;
// A request body, whatever its encoding: a command line and some room.
constexpr size_t maxBodyBytes = 16 * 1024;
// How much of a body over the limit is read (and dropped) so that it can be
// answered with 413; a longer one has its connection closed instead.
constexpr size_t maxDrainBytes = 1024 * 1024;
// A command is one short line.
constexpr size_t maxCommandBytes = 4096;

// A photo's index in an address is digits only, at most this many (a
// billion photos), so reading it cannot overflow; it must also name a photo.
constexpr size_t maxIndexDigits = 9;
// Thumbnails in one /thumbnails request: the page asks for a row (9 on a
// tablet). A response holds each of its thumbnails as base64 until it is
// sent, so this and maxThumbnailBytes bound its memory (43 MiB at worst;
// a row of real ones is about 300 KB).
constexpr size_t maxThumbnailsPerRequest = 32;
// A thumbnail's `size` in pixels: the page draws cells of a few hundred at
// most. Any size is served from the cache's two (128 and 256 pixels).
constexpr size_t maxThumbnailSide = 4096;
// A thumbnail's bytes, read from the shared cache (which other programs
// write too) or made: a 256-pixel PNG of 16-bit RGBA is 512 KiB unpacked.
// A larger cached file is not used; it is made again.
constexpr size_t maxThumbnailBytes = 1024 * 1024;

// Bytes of photos' and thumbnails' answers waiting to be read, across every
// client (UnreadAnswers.h; a text several answers share counts once). A
// client that asks and never reads holds its answer until its connection
// closes; past this, photos and thumbnails are answered 503 until some are
// read. The page reads at once and needs a few MiB: a row of thumbnails is
// about 300 KB, a photo 1 to 2 MB.
constexpr size_t maxUnreadAnswerBytes = 128ull * 1024 * 1024;

// Memory that decoding photos may take at once, in the whole process: each
// decode waits for its share (DecodeBudget.h), and a file whose decode alone
// would take more is refused. A 16-bit interlaced RGBA PNG of 6000 x 6000
// pixels (288 MB decoded, 432 MB with its decoder's working set) still fits,
// one at a time; a 24 MP progressive JPEG takes 144 MB.
constexpr size_t decodeBudgetBytes = 600ull * 1024 * 1024;
// Rows a decoder that streams (a plain JPEG, PNG or TIFF) holds at once, as
// counted against that budget.
constexpr size_t streamedDecodeRows = 256;

} // namespace viewer::limits
