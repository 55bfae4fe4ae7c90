// `tonefade-host info`: the plug-in's description of itself (kPlugGetInfo) as readable
// text or, with --json, as one JSON object.
#pragma once

#include <string>

#include "HYPluginAPI.h"
#include "Options.h"

namespace host {

extern const Command kInfoCommand;

// The description in the parameter block after kPlugGetInfo, as text or JSON.
std::string DescribeText(const HYPluginParams& params, const std::string& bundlePath);
std::string DescribeJson(const HYPluginParams& params, const std::string& bundlePath);

// A JSON string. Each byte that is not part of well-formed UTF-8 becomes \ufffd, so the
// output always parses.
std::string Json(const std::string& text);

}  // namespace host
