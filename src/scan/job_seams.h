// The standard fillings of the Scan I job's seams, shared by the front ends.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "scan/crash_report.h"
#include "scan/host.h"
#include "scan/scan_job.h"
#include "settings/app_settings.h"

namespace lumora {

// FilterDescription with the configuration's options and definitions as they
// are when a description is read.
std::function<void(std::vector<std::string>&)> ConfiguredFilter(const Configuration& config);

// Parallel reading as both front ends use it: one DescriptionExtraction per
// worker, as many workers as the machine has cores.
ReadAhead::MakeSource ExtractionSources();
int DefaultScanWorkers();

// WriteCrashReport into `place`, then `terminate` (none: TerminateAtOnce,
// which removes place.tempDir).
std::function<void(const std::string&, const CrashContext&)> CrashReportHandler(
    ScanHost& host, CrashReportPlace place, std::function<void()> terminate = {});

}  // namespace lumora
