// SPDX-License-Identifier: GPL-3.0-or-later
// The command table's rows for images and data in the reply, files on the
// instrument's machine and the remote control's own commands.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <tuple>

#include "export/data_export.h"
#include "scpi/scpi_rows.h"

namespace zorvane::scpi {

void AddControlCommands(Instrument& in) {
  // ---- Images and data in the reply ----
  in.Add("DISPlay:DATA?", Command::kNone, [](Call& c) {
    if (Count(c, 0, 1)) ImageReply(c, c.In.Form.DisplayBitmap);
    return Done::Yes;
  });
  in.Add("CONTrol:CLIPboard?", Command::kNone, [](Call& c) {
    if (!Count(c, 0, 1)) return Done::Yes;
    if (const std::optional<Bitmap> image = c.In.Plat.ClipboardImage())
      ImageReply(c, *image);
    else
      c.In.Errors.Push(err::ExecutionError, "the clipboard holds no image");
    return Done::Yes;
  });
  in.Add("FETCh:PLOT?", Command::kNone, [](Call& c) {
    if (!Count(c, 0, 0)) return Done::Yes;
    const std::string csv = PlotDataCsv(c.In.Form, false);
    c.Reply = Block(csv.data(), csv.size());
    return Done::Yes;
  });

  // ---- Files on the instrument's machine (only inside --allow-files) ----
  using FileCommand = std::pair<const char*, const char*>;
  for (const FileCommand& f : {FileCommand{"MMEMory:STORe:IMAGe", "bitmap "},
                               FileCommand{"MMEMory:STORe:CLIPboard", "clipboard "}}) {
    const char *header = f.first, *command = f.second;
    in.Add(header, Command::kNone, [command](Call& c) {
      std::string path;
      if (Count(c, 1, 1) && FileAt(c, 0, path)) c.In.Remote(command + path);
      return Done::Yes;
    });
  }
  in.Add("CONTrol:DIALog", Command::kNone, [](Call& c) {
    if (!Count(c, 1, 1)) return Done::Yes;
    std::string path;
    const Param& p = c.U.Params[0];
    if (p.Type == Param::Kind::Word && Pattern("CANCel").Matches({p.Text}))
      c.In.Remote("dialog cancel");
    else if (FileAt(c, 0, path))
      c.In.Remote("dialog " + path);
    return Done::Yes;
  });

  // ---- The remote control's commands ----
  in.Add("CONTrol:CLICk", Command::kMayNest, [](Call& c) {
    std::string name;
    c.In.MarkChange();
    if (Count(c, 1, 1) && NameAt(c, 0, name)) c.In.Remote("click " + name);
    return Done::Yes;
  });
  in.Add("CONTrol:SET", Command::kMayNest, [](Call& c) {
    std::string name;
    c.In.MarkChange();
    if (Count(c, 2, 2) && NameAt(c, 0, name)) c.In.Remote("set " + name + " " + TextAt(c, 1));
    return Done::Yes;
  });
  in.Add("CONTrol:KEY", Command::kMayNest, [](Call& c) {
    std::string name;
    c.In.MarkChange();
    if (Count(c, 2, 2) && NameAt(c, 0, name)) c.In.Remote("key " + name + " " + TextAt(c, 1));
    return Done::Yes;
  });
  in.Add("CONTrol:MOUSe", Command::kMayNest, [](Call& c) {
    std::string name;
    double x, y;
    if (!Count(c, 5, 5) || !NameAt(c, 1, name) || !NumberAt(c, 3, x) || !NumberAt(c, 4, y))
      return Done::Yes;
    std::string action = TextAt(c, 0), button = TextAt(c, 2);
    for (std::string* s : {&action, &button})
      for (char& ch : *s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    char xy[64];
    std::snprintf(xy, sizeof xy, " %.0f %.0f", std::clamp(x, -1e5, 1e5), std::clamp(y, -1e5, 1e5));
    c.In.MarkChange();
    c.In.Remote("mouse " + action + " " + name + " " + button + xy);
    return Done::Yes;
  });
  // Queries through "get", "state", "pixel" and "clock": the printed value.
  using Printing = std::tuple<const char*, const char*, size_t>;
  for (const Printing& p :
       {Printing{"CONTrol:GET?", "get ", 1}, Printing{"CONTrol:STATe?", "state ", 1},
        Printing{"CONTrol:PIXel?", "pixel ", 2}, Printing{"CONTrol:CLOCk?", "clock", 0}}) {
    const char *header = std::get<0>(p), *command = std::get<1>(p);
    const size_t params = std::get<2>(p);
    in.Add(header, Command::kNone, [command, params](Call& c) {
      if (!Count(c, params, params)) return Done::Yes;
      std::string line = command, printed;
      for (size_t i = 0; i < c.U.Params.size(); ++i) line += (i ? " " : "") + TextAt(c, i);
      if (c.In.Remote(line, &printed))
        c.Reply = params == 1 ? QuotedString(Printed(printed)) : Printed(printed);
      return Done::Yes;
    });
  }
  in.Add("CONTrol:WAIT", Command::kNone, [](Call& c) {
    double ms;
    if (!Count(c, 1, 1) || !NumberAt(c, 0, ms)) return Done::Yes;
    if (!(ms >= 0 && ms <= RemoteControl::kMaxWaitMs))
      c.In.Errors.Push(err::DataOutOfRange, "0 to " + Number(RemoteControl::kMaxWaitMs) + " ms");
    else
      c.In.Remote("wait " + std::to_string(static_cast<long long>(ms)));
    return Done::Yes;
  });
}

}  // namespace zorvane::scpi
