// The six MS-DOS attribute flags and their combined value.
#pragma once

#include <cstdint>

namespace lumora::archive {

class TztvFileAttr {
public:
    static constexpr std::uint8_t kReadOnly = 1, kHidden = 2, kSysFile = 4, kVolumeID = 8,
                                  kDirectory = 16, kArchive = 32;

    bool ftArchive() const { return archive_; }
    bool ftHidden() const { return hidden_; }
    bool ftReadOnly() const { return readOnly_; }
    bool ftSysFile() const { return sysFile_; }
    bool ftVolumeID() const { return volumeId_; }
    bool ftDirectory() const { return directory_; }

    // The first five add or remove their bit in the combined value;
    // the directory flag is kept apart from it.
    void SetArchive(bool on) { SetFlag(archive_, kArchive, on); }
    void SetHidden(bool on) { SetFlag(hidden_, kHidden, on); }
    void SetReadOnly(bool on) { SetFlag(readOnly_, kReadOnly, on); }
    void SetSysFile(bool on) { SetFlag(sysFile_, kSysFile, on); }
    void SetVolumeID(bool on) { SetFlag(volumeId_, kVolumeID, on); }
    void SetDirectory(bool on) { directory_ = on; }

    int Attributes() const { return value_; }
    // Sets all six flags from the bits of `value`.
    void SetAttributes(int value);

    // Copies the six flags (the combined value follows the first five).
    void Assign(const TztvFileAttr& other);

private:
    void SetFlag(bool& flag, std::uint8_t bit, bool on);

    bool archive_ = true, hidden_ = false, readOnly_ = true, sysFile_ = false, volumeId_ = false,
         directory_ = false;
    int value_ = kArchive | kReadOnly;
};

}  // namespace lumora::archive
