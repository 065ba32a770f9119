#pragma once
// Unpacks a ZIP archive into one directory. Every file of the archive lands
// directly in that directory, without the archive's folder names, replacing a
// file of the same name; files the archive does not hold stay. Entries below a
// folder named "rank" land in the directory's rank/ folder instead. Names that
// differ only in letter case are the same file: an existing file keeps its
// name, and of two such entries the later wins.
//
// Safety: entries with an absolute path, a ".." step, or that are links or
// other special files are refused (reported, never written), so nothing is
// ever written outside the directory. Every entry is streamed into a staging
// folder inside the directory and checked (CRC, size) before the first file
// is replaced; then each is renamed into place. Either every file is put in
// place or, on any failure, what was there is restored: the directory never
// holds half an update.
#include <cstdint>
#include <functional>
#include <string>

namespace tolvan {

// The kinds of progress reported while extracting.
enum class ExtractProgress {
    NewFile = 0,     // a file begins: its name and size
    Step = 1,        // a step of progress (one per 32 KiB extracted)
    EndOfBatch = 2,  // all files are done
};

// Message codes: 0 is information, anything above 0 a problem.
enum ExtractMessageCode {
    kExtractInfo = 0,
    kExtractBadArchive = 1,   // not an archive, damaged, or no files in it
    kExtractUnsafeName = 2,   // absolute path or ".." step: refused
    kExtractNotAFile = 3,     // link, device, ...: refused
    kExtractReadError = 4,    // an entry could not be read (CRC, encryption, ...)
    kExtractWriteError = 5,   // a file could not be written into the directory
    kExtractTooLarge = 6,     // beyond the size limits below
};

class ZipExtractor {
public:
    // Size limits for what an archive may unpack to; data beyond them is
    // treated as a damaged (or hostile) archive.
    static constexpr std::uint64_t kMaxFileSize = 64ull << 20;
    static constexpr std::uint64_t kMaxTotalSize = 256ull << 20;
    static constexpr std::uint64_t kStepBytes = 32768;

    void setZipFilename(const std::string& file) { zipFilename_ = file; }
    const std::string& ZipFilename() const { return zipFilename_; }
    void setExtrBaseDir(const std::string& dir) { extrBaseDir_ = dir; }
    const std::string& ExtrBaseDir() const { return extrBaseDir_; }

    // When set (the default), the extraction directory becomes the process's
    // current directory before extracting, and stays so afterwards.
    void setChangeDirectory(bool change) { changeDirectory_ = change; }

    // Extracts every file of the archive into ExtrBaseDir (created when
    // missing). Returns the number of files written. Problems are reported
    // through OnMessage with a code above 0. Refused while an extraction is
    // running (returns 0).
    int Extract();

    bool busy() const { return busy_; }
    // True when the last Extract replaced nothing because the archive could
    // not be used (unreadable, damaged, no files, cancelled).
    bool failed() const { return failed_; }
    int messageErrors() const { return errors_; }

    // Asks a running extraction to stop. It stops only while files are still
    // being read and checked, before anything is replaced; once files are
    // being put in place it finishes, so the directory is never half-updated
    // because of a cancel.
    void cancel() { cancelRequested_ = true; }
    bool cancelled() const { return cancelled_; }

    std::function<void(ExtractProgress kind, const std::string& fileName, std::uint64_t size)> OnProgress;
    std::function<void(int errCode, const std::string& message)> OnMessage;
    // Called now and then while files are put in place, so a window can keep
    // its events running.
    std::function<void()> OnIdle;

    // Where staging folders begin; stale ones of an interrupted extraction are
    // removed by the next.
    static constexpr const char* kStagingPrefix = ".tolvan-update-";

private:
    void progress(ExtractProgress kind, const std::string& name, std::uint64_t size);
    void message(int code, const std::string& text);

    std::string zipFilename_;
    std::string extrBaseDir_;
    bool changeDirectory_ = true;
    bool busy_ = false;
    bool failed_ = false;
    bool cancelRequested_ = false;
    bool cancelled_ = false;
    int errors_ = 0;
};

// The file name an archive entry is written under: the last part of its path
// ("engines/Lycos.tlx" -> "Lycos.tlx"). Empty when the entry must not be
// written: a folder entry, an absolute path, a drive letter, a ".." step, or
// a name that is "." or "..". Both "/" and "\" separate folders.
std::string flatEntryName(const std::string& entryName, bool* unsafe = nullptr);

// The path, relative to the extraction directory, an entry is written to:
// flatEntryName, under "rank/" when a folder of the entry's path is named
// "rank" (in any letter case). Empty when the entry must not be written.
std::string entryTarget(const std::string& entryName, bool* unsafe = nullptr);

}  // namespace tolvan
