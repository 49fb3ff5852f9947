#include "scan/job_seams.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "scan/description_extraction.h"

#include "settings/description_filter.h"

namespace lumora {

std::function<void(std::vector<std::string>&)> ConfiguredFilter(const Configuration& config) {
    return [&config](std::vector<std::string>& lines) { FilterDescription(lines, config); };
}

ReadAhead::MakeSource ExtractionSources() {
    return [](ExtractionHooks hooks) {
        return std::make_unique<DescriptionExtraction>(std::move(hooks));
    };
}

int DefaultScanWorkers() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

std::function<void(const std::string&, const CrashContext&)> CrashReportHandler(
    ScanHost& host, CrashReportPlace place, std::function<void()> terminate) {
    return [&host, place = std::move(place), terminate = std::move(terminate)](
               const std::string& message, const CrashContext& context) {
        WriteCrashReport(host, place, message, context, terminate);
    };
}

}  // namespace lumora
