#include "archive/core/file_attr.h"

namespace lumora::archive {

void TztvFileAttr::SetFlag(bool& flag, std::uint8_t bit, bool on) {
    flag = on;
    if (on && !(value_ & bit)) value_ |= bit;
    if (!on && (value_ & bit)) value_ &= ~bit;
}

void TztvFileAttr::SetAttributes(int value) {
    value_ = value;
    archive_ = value & kArchive;
    hidden_ = value & kHidden;
    readOnly_ = value & kReadOnly;
    sysFile_ = value & kSysFile;
    volumeId_ = value & kVolumeID;
    directory_ = value & kDirectory;
}

void TztvFileAttr::Assign(const TztvFileAttr& other) {
    SetArchive(other.archive_);
    SetHidden(other.hidden_);
    SetReadOnly(other.readOnly_);
    SetSysFile(other.sysFile_);
    SetVolumeID(other.volumeId_);
    SetDirectory(other.directory_);
}

}  // namespace lumora::archive
