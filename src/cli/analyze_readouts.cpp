// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/analyze_readouts.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "app/Zorvane.h"
#include "readouts/readout_text.h"

namespace zorvane {

void AddReadoutOptions(CLI::App& analyze, ReadoutOptions& o) {
  auto* distortion = analyze.add_flag(
      "--distortion", o.Distortion,
      "print THD, THD+N, SINAD, SNR, ENOB, noise floor and H2..H10 (averaged over the blocks)");
  analyze.add_option("--fundamental", o.FundamentalHz, "measure the tone near this frequency (Hz)")
      ->check(CLI::Range(1.0, 1e6))
      ->needs(distortion);
  analyze.add_option("--weighting", o.Weighting, "A: A-weighted noise and distortion")
      ->check(CLI::IsMember({"A"}, CLI::ignore_case))
      ->needs(distortion);
  auto* bands =
      analyze
          .add_option("--bands", o.Bands, "write fractional-octave band levels into the --csv file")
          ->check(CLI::IsMember({"octave", "third", "sixth", "twelfth"}));
  if (CLI::Option* csv = analyze.get_option_no_throw("--csv")) bands->needs(csv);
}

void PrepareReadouts(TZorvaneForm& form, const ReadoutOptions& o) {
  readouts::BlockReadouts& r = *form.Readouts;
  // Nothing reads the readouts unless they are asked for: the blocks are
  // then not measured at all.
  r.SetMeasuring(o.Distortion || !o.Bands.empty());
  r.SetAverage(0);
  r.SetFundamental(o.FundamentalHz);
  r.SetWeighting(!o.Weighting.empty());
  readouts::BandFraction fraction;
  if (readouts::ParseBandFraction(o.Bands, fraction)) r.SetBandFraction(fraction);
}

bool ReportReadouts(TZorvaneForm& form, const ReadoutOptions& o, const std::string& csvPath,
                    std::ostream& out, std::ostream& err) {
  const readouts::BlockReadouts& r = *form.Readouts;
  if (o.Distortion) {
    const readouts::DistortionFigures f = r.Distortion();
    out << readouts::DistortionText(f);
    if (f.flags)
      err << "zorvane-cli: the distortion figures cannot be trusted: "
          << readouts::TrustText(f.flags) << "\n";
  }
  if (o.Bands.empty() || csvPath.empty()) return true;
  const std::string text = readouts::BandsCsv(r);
  std::FILE* file = std::fopen(csvPath.c_str(), "wb");
  bool ok = file != nullptr;
  if (ok) {
    ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) std::remove(csvPath.c_str());
  }
  if (!ok) err << "zorvane-cli: cannot write " << csvPath << ": " << std::strerror(errno) << "\n";
  return ok;
}

}  // namespace zorvane
