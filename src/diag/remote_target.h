// Finding the B target (remote): the stations the A target sees on the line, less itself, with
// the chooser when more than one answers.
#pragma once

#include <string>
#include <vector>

#include "common/desk.h"
#include "common/mac_address.h"
#include "common/main_state.h"

// The stations of get_stations.tmp in file order, up to the first entry without six numbers,
// each number giving its low eight bits.
std::vector<MacAddress> ParseStationList(const std::string& content);

// Queries the A target's address into `local`, lists the stations it sees and sets `remote`:
// the only one directly, one of several through desk.ChooseRemoteTarget, zeros (with a box) when
// there is none. False when the A target's query failed, the Kernel folder could not be entered or
// the list could not be read.
bool FindRemoteTarget(MainState& state, Desk& desk, MacAddress& local, MacAddress& remote);

// The query on the Diagnostic tab after its fields were read: FindRemoteTarget on LocalMac and
// RemoteMac, and "Can't query MAC address." when it fails.
void QueryDiagMacs(MainState& state, Desk& desk);
