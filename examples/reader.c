/* Lists the published channels, opens the first one (or instrument and bin
 * from the command line) and prints station 0 of its next ten writes. */
#include <lumivex/lumivex.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    lumivex_channel_info channels[16];
    int32_t count = 0;
    if (lumivex_list_channels(channels, 16, &count) != LUMIVEX_OK || count == 0) {
        fprintf(stderr, "reader: no channel: %s\n", lumivex_last_message());
        return 1;
    }
    for (int32_t i = 0; i < count && i < 16; ++i)
        printf("channel %d %d: %s, %s, %d active\n", channels[i].instrument, channels[i].bin, channels[i].description,
               channels[i].unit_label, channels[i].active_count);
    int instrument = argc > 2 ? atoi(argv[1]) : channels[0].instrument;
    int bin = argc > 2 ? atoi(argv[2]) : channels[0].bin;
    lumivex_reader* reader = NULL;
    if (lumivex_reader_open(instrument, bin, &reader) != LUMIVEX_OK) {
        fprintf(stderr, "reader: %s\n", lumivex_last_message());
        return 1;
    }
    lumivex_state state;
    for (int write = 0; write < 10; ++write) {
        if (lumivex_wait(reader, 1000, &state) != LUMIVEX_OK) {
            fprintf(stderr, "reader: %s\n", lumivex_last_message());
            break;
        }
        const lumivex_pose* pose = &state.stations[0];
        printf("write %u: %.9g %.9g %.9g %.9g %.9g %.9g\n", (unsigned)state.write_count, pose->x, pose->y, pose->z,
               pose->azimuth, pose->elevation, pose->roll);
    }
    lumivex_reader_close(reader);
    return 0;
}
