// Names the plain archive that belongs to a self-extracting program: the
// program's folder and name with the archive type's own extension. It
// checks both names and talks to the user through message boxes (English
// texts); it copies and extracts nothing itself.
#pragma once

#include <functional>
#include <string>

#include "archive/core/awk_main.h"

namespace lumora::archive {

enum class TSfxBox { Warning, Information, Confirmation };

// A message box of the handler; the text is Windows-1252 bytes. Only a
// Confirmation (Yes and No buttons) has an answer: true for Yes. Without a
// handler every question is answered No.
using TOnSfxMessage = std::function<bool(TSfxBox kind, const std::string& text)>;

class TUnSFX final : public TZipCommon {
public:
    TOnSfxMessage OnMessage;

    // A self-extractor of a supported type gives the default OutFilename;
    // anything else is refused with a message and leaves both names empty.
    void SetArchiveFile(const std::string& path) override;

    const std::string& OutFilename() const { return outFilename_; }
    // A bare name goes into the self-extractor's folder; an existing folder,
    // or a name without a file part, brings back the default name; a missing
    // folder is created when the user agrees.
    void SetOutFilename(const std::string& name);

private:
    bool Box(TSfxBox kind, const std::string& text) const;
    void Refuse(const std::string& message);

    std::string outFilename_;
};

// The extension of the plain archive for a self-extractor type (".ZIP",
// ".ARJ", ...); empty for a type the handler does not take.
std::string SfxExtension(TArcType type);

}  // namespace lumora::archive
