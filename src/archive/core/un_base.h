// Base of the extracting readers: the Extract entry and the member protocol
// every reader follows (existence check, OnBegin, output file, date,
// attributes, OnEnd).
#pragma once

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive/core/awk_main.h"
#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/output_writer.h"

namespace lumora::archive {

class TUnBase : public TZipCommon {
public:
    TUnBase();

    // Passwords tried for encrypted members, first line first.
    std::vector<std::string> Passwords;
    TSetDate SetDateTo = TSetDate::OrigDate;

    // Extracts every member whose stored name matches FileSpec into
    // ExtractDir. Archive errors arrive through OnError.
    void Extract();

    // Members go to memory instead of files below ExtractDir. Those whose
    // output path would be `keepPath` fill `*sink`, each starting it afresh
    // (the last one wins, as the file would be replaced), at most `limit`
    // bytes; the others are decoded and dropped. Null returns to files.
    void SetMemoryOutput(std::string* sink, std::size_t limit, std::string keepPath) {
        memorySink_ = sink;
        memoryLimit_ = limit;
        memoryKeepPath_ = std::move(keepPath);
        memoryKept_ = false;
    }
    // A member was written to the sink since SetMemoryOutput.
    bool MemoryKept() const { return memoryKept_; }

    // Members whose output file was written in the last Extract.
    int ExtractedCount() const { return extractedCount_; }

    // Output files created so far by this reader, and the host path of the
    // last one. A member whose count did not move left no file of its own.
    std::uint64_t OutputsCreated() const { return outputsCreated_; }
    const std::string& LastOutputPath() const { return lastOutputPath_; }

protected:
    // The per-format walk.
    virtual void ExtractMembers() {}

    // Existence check with OnFileExists (storedDate is the member's packed
    // DOS date/time), then OnBegin; gives the Extract flag.
    bool ConfirmMember(int recNum, std::uint32_t storedDate);
    // Creates the folders of the current output place; the output file then
    // follows with CreateOutput. Both raise E_RAISE with the text of 25134
    // (no OnError) on failure.
    void CreateMemberDirs();
    OutputFile CreateOutput();
    // Date (with OrigDate), close, then the stored MS-DOS read-only bit.
    void FinishOutput(OutputFile& file, std::uint32_t dosDate, std::optional<std::uint32_t> attrs);
    void FireEnd(bool crcPass);
    void CountExtracted() { ++extractedCount_; }

    // Calls `body` (the walk of `run`); whatever happens, the run is then
    // closed and OnDeactivate fires, also before an exception leaves.
    template <typename Run, typename Body>
    void RunThenDeactivate(Run& run, Body body) {
        try {
            body();
        } catch (...) {
            run.Close();
            FireNotify(OnDeactivate);
            throw;
        }
        run.Close();
        FireNotify(OnDeactivate);
    }

    // RunThenDeactivate over `run.Execute()`, where running out of memory
    // ends the run with the out-of-memory warning and other errors leave.
    template <typename Run>
    void ExecuteThenDeactivate(Run& run) {
        RunThenDeactivate(run, [&] {
            try {
                run.Execute();
            } catch (const std::bad_alloc&) {
                ReportWarning(ArchiveFile(), ecode::OutOfMemory);
            }
        });
    }

    // RunThenDeactivate over `run.Execute()` for readers whose errors are
    // reported through OnError before they are raised (or end the run
    // silently by design): nothing leaves the run.
    template <typename Run>
    void ExecuteQuietlyThenDeactivate(Run& run) {
        RunThenDeactivate(run, [&] {
            try {
                run.Execute();
            } catch (...) {
            }
        });
    }

private:
    std::string* memorySink_ = nullptr;
    std::size_t memoryLimit_ = 0;
    std::string memoryKeepPath_;
    std::string memoryDropped_;  // stays empty: its outputs keep nothing
    bool memoryKept_ = false;
    int extractedCount_ = 0;
    std::uint64_t outputsCreated_ = 0;
    std::string lastOutputPath_;
    DosLocalTime localTime_;  // the stored dates of the files written
};

}  // namespace lumora::archive
