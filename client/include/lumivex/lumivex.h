/* liblumivex: read and write a tracking server's channels from any program.
 *
 * A tracking server publishes, for each instrument (0..15) and bin (0..15),
 * a channel: the pose of 32 stations in named shared memory, guarded by a
 * named mutex. This library reads channels the way the Lumivex programs do:
 * it refuses objects that another user could have planted or may write (the
 * same trust rule, with the same messages), never copies a record that a
 * write tore, follows a channel whose server ends and starts again, and
 * waits for the next write without polling flat out. It also writes a
 * channel as its one writer.
 *
 * Statuses and messages: every call returns a lumivex_status. After any call,
 * lumivex_last_message() gives the calling thread a line that says what
 * happened ("" after LUMIVEX_OK); it stays valid until the thread's next call.
 * No call prints, ends the process or lets an exception out.
 *
 * Threads: a handle may be used from several threads; its calls take turns.
 * Calls on different handles run side by side, apart from the moments they
 * spend opening and copying shared objects.
 *
 * Objects are looked for under the name prefix of LUMIVEX_SHM_PREFIX, as
 * the programs do.
 *
 * What the library keeps in the process: one inotify descriptor, which tells
 * it when channels come and go, and a SIGBUS handler for mappings of channels
 * that another process shrinks (a fault anywhere else goes on to the handler
 * installed before it).
 */
#ifndef LUMIVEX_LUMIVEX_H
#define LUMIVEX_LUMIVEX_H

#include <stdint.h>

#include <lumivex/version.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LUMIVEX_INSTRUMENTS 16
#define LUMIVEX_BINS 16
#define LUMIVEX_STATIONS 32
/* Room for the longest description a channel holds, with its NUL. */
#define LUMIVEX_DESCRIPTION_CAPACITY 2779

typedef int32_t lumivex_status;
enum {
    LUMIVEX_OK = 0,
    LUMIVEX_TIMEOUT = 1,          /* no write came within the time-out */
    LUMIVEX_NOT_PUBLISHED = 2,    /* nothing publishes the channel now, or not yet completely */
    LUMIVEX_REFUSED = 3,          /* its objects fail the trust rule; the message says why */
    LUMIVEX_BUSY = 4,             /* its mutex held too long, or half written by a server that died */
    LUMIVEX_IN_USE = 5,           /* another process writes the channel */
    LUMIVEX_INVALID_ARGUMENT = 6, /* a number out of range, a null pointer */
    LUMIVEX_FAILED = 7            /* anything else, such as a system error or no memory */
};

/* Flags word: bit k (k = 0..3) station k active, 0x10 Cartesian, 0x20 Euler
 * angles, 0x40 quaternions, bits 8..11 the unit code of the positions. */
#define LUMIVEX_UNIT_INCHES 0
#define LUMIVEX_UNIT_CENTIMETRES 1
#define LUMIVEX_UNIT_METRES 2

/* A station's pose: its position in the channel's unit, then rotations about
 * z, y and x in radians. */
typedef struct lumivex_pose {
    float x, y, z;
    float azimuth, elevation, roll;
} lumivex_pose;

/* A channel's newest write, copied whole. `write_count` and `stamp_us` (the
 * low 32 bits of the server's monotonic clock in microseconds) are 0 for a
 * server that keeps neither. */
typedef struct lumivex_state {
    uint32_t write_count;
    uint32_t stamp_us;
    uint32_t flags;
    lumivex_pose stations[LUMIVEX_STATIONS];
} lumivex_state;

/* What a channel says of itself. `unit` is the unit code read as the
 * programs read it (any code above 2 counts as metres), `unit_label` its
 * name ("INCHES", "CMETER", "METERS") and `unit_scale` the factor to
 * centimetres. `active_stations` has bit k set for each active station. */
typedef struct lumivex_channel_info {
    int32_t instrument;
    int32_t bin;
    uint32_t flags;
    uint32_t active_stations;
    int32_t active_count;
    int32_t unit;
    float unit_scale;
    char unit_label[8];
    char description[LUMIVEX_DESCRIPTION_CAPACITY];
} lumivex_channel_info;

typedef struct lumivex_reader lumivex_reader;
typedef struct lumivex_writer lumivex_writer;

/* "0.4.0": the library's version, which may be newer than the header's. */
const char* lumivex_version(void);
/* What the calling thread's last call did, in one line. */
const char* lumivex_last_message(void);

/* The channels published now that this user may read, by instrument and
 * bin: up to `capacity` of them into `channels`, and how many there are into
 * `count` (which may be more than `capacity`). */
lumivex_status lumivex_list_channels(lumivex_channel_info* channels, int32_t capacity, int32_t* count);

/* Opens channel (instrument, bin) read-only; it must be published and
 * readable now. The reader follows it when its server ends and another
 * creates it again. Close it with lumivex_reader_close. */
lumivex_status lumivex_reader_open(int32_t instrument, int32_t bin, lumivex_reader** reader);
void lumivex_reader_close(lumivex_reader* reader);
/* The newest write, whole. LUMIVEX_NOT_PUBLISHED once the server removed
 * the channel (until one publishes it again). */
lumivex_status lumivex_read(lumivex_reader* reader, lumivex_state* state);
/* Waits up to `timeout_ms` for a write that differs from what this reader
 * last returned, and returns it; LUMIVEX_TIMEOUT when none came. */
lumivex_status lumivex_wait(lumivex_reader* reader, int32_t timeout_ms, lumivex_state* state);
/* The channel's flags, unit and description as of the reader's last read. */
lumivex_status lumivex_reader_info(lumivex_reader* reader, lumivex_channel_info* info);

/* Becomes the one writer of channel (instrument, bin): creates its objects,
 * the region with permission bits `mode` (0600, or 0640 for a group that
 * watches), and publishes the flags, the description and zero poses. Refused
 * (LUMIVEX_IN_USE) while another process writes the channel. */
lumivex_status lumivex_writer_open(int32_t instrument, int32_t bin, const char* description, uint32_t flags,
                                   uint32_t mode, lumivex_writer** writer);
/* Publishes the poses of all stations as the next write, counted and
 * stamped. */
lumivex_status lumivex_write(lumivex_writer* writer, const lumivex_pose poses[LUMIVEX_STATIONS]);
/* Removes the channel, as a server that ends does, and frees the writer. */
lumivex_status lumivex_writer_close(lumivex_writer* writer);

#ifdef __cplusplus
}
#endif

#endif
