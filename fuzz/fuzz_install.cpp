// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// libFuzzer target: any bytes, taken as a template archive through the whole
// life of a pack as `mtzip` runs it (list, install, install again, verify,
// uninstall), must neither crash, leak, write outside the templates folder,
// nor leave a template behind.
//
// Each input becomes <base>/LT_Fuzz.mtzip next to a fresh templates folder
// <base>/root and a folder <base>/outside that nothing may touch. The Trash,
// the recently-removed log and the unpack folders are pointed into <base> too,
// so that afterwards <base> must hold exactly what we made, the archive and
// the outside file unchanged, no unpack folder left, and below the root no
// file that is not bookkeeping.
#include "Cli/Cli.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QString>
#include <QTextStream>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

const std::string OutsideText = "a file of someone else's\n";

[[noreturn]] void fail(const char *what, const fs::path &path = {})
{
    std::fprintf(stderr, "%s %s\n", what, path.c_str());
    std::abort();
}

// Taken once: each input points TMPDIR into its own folder.
const fs::path &systemTemp()
{
    static const fs::path folder = fs::temp_directory_path();
    return folder;
}

fs::path makeBaseFolder()
{
    std::string pattern = (systemTemp() / "fuzz_install.XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        std::abort();
    return fs::path(pattern);
}

void writeFile(const fs::path &path, const void *data, size_t size)
{
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char *>(data), std::streamsize(size));
    if (!out)
        fail("cannot write", path);
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> entriesOf(const fs::path &folder)
{
    std::set<std::string> names;
    std::error_code ec;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder, ec))
        names.insert(entry.path().filename().string());
    return names;
}

int mtzip(const QStringList &arguments)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    return runCli(QStringList{QStringLiteral("mtzip")} + arguments, outStream, errStream);
}

// Receipts, the lock and the journal's leftovers are the folder's own
// bookkeeping; a kind or category folder may stay; any other file is a
// template the uninstall missed, or something written where it must not be.
void checkNoTemplateLeft(const fs::path &root)
{
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_symlink())
            fail("a symbolic link below the root:", it->path());
        if (it->is_directory())
            continue;
        const std::string name = it->path().filename().string();
        const std::string relative = fs::relative(it->path(), root).string();
        const bool bookkeeping = name.rfind(".mti-", 0) == 0 || relative.rfind(".receipts/", 0) == 0;
        if (!bookkeeping)
            fail("left behind after uninstall:", it->path());
    }
}

void checkConfined(const fs::path &base, const std::string &archiveBytes)
{
    const std::set<std::string> expected{"LT_Fuzz.mtzip", "root", "outside", "home", "tmp"};
    if (entriesOf(base) != expected)
        fail("written beside the templates folder in", base);
    if (entriesOf(base / "outside") != std::set<std::string>{"keep.txt"}
        || readFile(base / "outside" / "keep.txt") != OutsideText)
        fail("the outside folder changed:", base / "outside");
    if (readFile(base / "LT_Fuzz.mtzip") != archiveBytes)
        fail("the archive changed:", base / "LT_Fuzz.mtzip");
    if (!entriesOf(base / "tmp").empty())
        fail("an unpack folder was left in", base / "tmp");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    systemTemp();
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const fs::path base = makeBaseFolder();
    const fs::path archive = base / "LT_Fuzz.mtzip";
    const fs::path root = base / "root";
    for (const char *folder : {"root", "outside", "home", "tmp"})
        fs::create_directory(base / folder);
    writeFile(base / "outside" / "keep.txt", OutsideText.data(), OutsideText.size());
    writeFile(archive, data, size);
    const std::string archiveBytes(reinterpret_cast<const char *>(data), size);

    qputenv("TMPDIR", QFile::encodeName(QString::fromStdString((base / "tmp").string())));
    qputenv("XDG_DATA_HOME", QFile::encodeName(QString::fromStdString((base / "home").string())));
    qputenv("MTI_RECENTLY_REMOVED", QFile::encodeName(QString::fromStdString((base / "home" / "removed.json").string())));

    const QString archivePath = QString::fromStdString(archive.string());
    const QStringList dest{QStringLiteral("--dest"), QString::fromStdString(root.string())};
    // Half the inputs take replaced and removed copies to the Trash.
    const QStringList disposal = size % 2 ? QStringList{QStringLiteral("--trash")} : QStringList{};

    mtzip({QStringLiteral("list"), QStringLiteral("--json"), archivePath});
    mtzip(QStringList{QStringLiteral("install"), archivePath} + dest + disposal);
    checkConfined(base, archiveBytes);
    mtzip(QStringList{QStringLiteral("install"), archivePath} + dest + disposal);
    mtzip(QStringList{QStringLiteral("verify")} + dest);
    mtzip(QStringList{QStringLiteral("installed"), QStringLiteral("--json")} + dest);
    mtzip(QStringList{QStringLiteral("uninstall"), archivePath} + dest + disposal);
    checkConfined(base, archiveBytes);
    checkNoTemplateLeft(root);

    std::error_code ec;
    fs::remove_all(base, ec);
    return 0;
}
