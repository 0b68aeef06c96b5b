// SPDX-License-Identifier: GPL-3.0-or-later
// The readouts as text: the NAME = VALUE lines the command line, the remote
// control and the distortion window's copy give, the bands as CSV, the
// reasons a readout cannot be trusted, and the remote control's settings.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "readouts/readouts.h"

namespace zorvane::readouts {

// fundamental_hz, fundamental_dbfs, thd_db, thd_percent, thdn_db,
// thdn_percent, sinad_db, snr_db, enob_bits, noise_floor_dbfs, h2_dbc ..
// h10_dbc, harmonics_used, in that order, with their values (9 significant
// digits; "nan" where there is none).
std::vector<std::pair<std::string, std::string>> DistortionFields(const DistortionFigures& f);
// The same as lines "NAME = VALUE".
std::string DistortionText(const DistortionFigures& f);

// Why the figures cannot be trusted, the reasons joined by "; " ("" when
// they can), and the same as words for scripts: "ok", or some of "clipping",
// "no_tone", "too_low", "near_half_rate" joined by commas.
std::string TrustText(unsigned flags);
std::string TrustWords(unsigned flags);

// "band_center_hz,level_dbfs" and one row per band.
std::string BandsCsv(const BlockReadouts& r);

// The remote control's `state NAME` for the readouts: every distortion
// field, distortion_status (TrustWords), readout_blocks, band_count,
// band_center_hz[I] and band_level_dbfs[I]. False when the name is none of
// these (error then empty), or with error set for a band index outside.
bool ReadoutStateText(const BlockReadouts& r, const std::string& name, std::string& out,
                      std::string& error);

// The remote control's `readout ...` settings:
//   average N (0 every block, 1..100)  fundamental HZ|auto  weighting A|none
//   bands octave|third|sixth|twelfth   hold on|off          clear
// False with error set for anything else.
bool ReadoutCommand(BlockReadouts& r, const std::string& arguments, std::string& error);

}  // namespace zorvane::readouts
