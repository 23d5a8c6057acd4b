// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// libFuzzer target: any bytes, opened as an archive and unpacked, must neither
// crash, leak nor write outside the destination folder.
//
// Each input is written to <base>/input.zip, <base> a new temporary folder,
// and unpacked twice into <base>/parent/dest: once without a password
// (overwriting), once with the corpus password into the same, now filled
// folder without overwriting, so the "file exists" path runs too. Afterwards
// <base> and <base>/parent must hold exactly what we put there, and nothing
// below dest may be a symbolic link.
#include "Common/ProgressListener.h"
#include "ZipArchive/ZipArchive.h"
#include "ZipArchive/ZipArchiveDelegate.h"

#include <QFile>
#include <QLoggingCategory>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

class CountingDelegate : public ZipArchiveDelegate
{
public:
    void ErrorMessage(const QString &message) override { messages += message.size(); }
    bool OverWriteOperation(const QString &path) override { return (path.size() & 1) != 0; }
    qsizetype messages = 0;
};

// Cancels after a few calls for some inputs, so the clean-up of a cancelled
// unpack is exercised as well.
class Listener : public ProgressListener
{
public:
    explicit Listener(int cancelAfter) : _left(cancelAfter) {}
    bool progress(qint64 done, qint64 total) override
    {
        if (done < 0 || done > total) {
            std::fprintf(stderr, "progress %lld of %lld\n", qlonglong(done), qlonglong(total));
            std::abort(); // the bytes written never exceed what the entries declare
        }
        return _left < 0 || _left-- > 0;
    }

private:
    int _left;
};

// A fresh folder per input, removed afterwards: libFuzzer leaves without
// running atexit handlers, and a crash keeps the folder to look at.
fs::path makeBaseFolder()
{
    std::string pattern = (fs::temp_directory_path() / "fuzz_extract.XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        std::abort();
    return fs::path(pattern);
}

std::set<std::string> entriesOf(const fs::path &folder)
{
    std::set<std::string> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

void checkConfined(const fs::path &base, const fs::path &parent, const fs::path &dest)
{
    if (entriesOf(base) != std::set<std::string>{"input.zip", "parent"}) {
        std::fprintf(stderr, "written beside the archive, outside the destination\n");
        std::abort();
    }
    const std::set<std::string> inParent = entriesOf(parent);
    if (!inParent.empty() && inParent != std::set<std::string>{"dest"}) {
        std::fprintf(stderr, "written beside the destination folder\n");
        std::abort();
    }
    std::error_code ec;
    if (fs::exists(dest, ec)) {
        for (auto it = fs::recursive_directory_iterator(dest, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            if (it->is_symlink()) {
                std::fprintf(stderr, "a symbolic link was created: %s\n", it->path().c_str());
                std::abort();
            }
        }
    }
}

void unpack(const QString &archive, const QString &destination, const QString *password, bool overWrite,
            int cancelAfter)
{
    CountingDelegate delegate;
    Listener listener(cancelAfter);
    ZipArchive zip;
    zip.setDelegate(&delegate);
    zip.setProgressListener(&listener);
    const bool opened = password ? zip.UnzipOpenFile(archive, *password) : zip.UnzipOpenFile(archive);
    // Crashes and leaks are the finding here, not the outcome.
    if (opened)
        static_cast<void>(zip.UnzipFileTo(destination, overWrite));
    zip.UnzipCloseFile();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The diagnostic log of every refused archive would drown libFuzzer's own output.
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const fs::path base = makeBaseFolder();
    const fs::path input = base / "input.zip";
    const fs::path parent = base / "parent";
    const fs::path dest = parent / "dest";

    std::error_code ec;
    fs::create_directory(parent, ec);
    if (FILE *f = std::fopen(input.c_str(), "wb")) {
        if (size)
            std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        std::abort();
    }

    const QString archive = QFile::decodeName(input.c_str());
    const QString destination = QFile::decodeName(dest.c_str());
    const QString password = QStringLiteral("secret");
    const int cancelAfter = size % 5 == 0 ? 1 : -1;

    unpack(archive, destination, nullptr, true, cancelAfter);
    checkConfined(base, parent, dest);
    unpack(archive, destination, &password, false, -1);
    checkConfined(base, parent, dest);

    fs::remove_all(base, ec);
    return 0;
}
