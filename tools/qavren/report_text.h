// The report of `qavren info` as text: the words for an ObjectReport,
// written to any stream (standard output for the command, a memory stream
// for the page).
#pragma once

#include <cstdio>

#include "tools/qavren/object_report.h"

namespace qavren::cli {

// Writes the report of the object called `name`. Returns whether the
// object can be drawn (by qavren; the plug-in draws LWLO, LWO2 and LWO3
// objects only with its Forms setting at 1).
bool WriteReport(std::FILE* out, const char* name, const ObjectReport& report);

}  // namespace qavren::cli
