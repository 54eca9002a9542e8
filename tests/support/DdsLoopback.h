#pragma once

namespace testsupport {

// Cyclone DDS configuration (CYCLONEDDS_URI) for tests: the loopback
// interface only, unicast discovery, so test runs never reach the network
// and find each other on machines without multicast.
inline const char* const ddsLoopbackOnly =
    "<General><Interfaces><NetworkInterface name=\"lo\"/></Interfaces><AllowMulticast>false</AllowMulticast>"
    "</General><Discovery><ParticipantIndex>auto</ParticipantIndex><MaxAutoParticipantIndex>30"
    "</MaxAutoParticipantIndex><Peers><Peer address=\"127.0.0.1\"/></Peers></Discovery>";

}  // namespace testsupport
