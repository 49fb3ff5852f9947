#include "scan/job_seams.h"

#include <utility>

#include "settings/description_filter.h"

namespace lumora {

std::function<void(std::vector<std::string>&)> ConfiguredFilter(const Configuration& config) {
    return [&config](std::vector<std::string>& lines) { FilterDescription(lines, config); };
}

std::function<void(const std::string&, const CrashContext&)> CrashReportHandler(
    ScanHost& host, CrashReportPlace place, std::function<void()> terminate) {
    return [&host, place = std::move(place), terminate = std::move(terminate)](
               const std::string& message, const CrashContext& context) {
        WriteCrashReport(host, place, message, context, terminate);
    };
}

}  // namespace lumora
