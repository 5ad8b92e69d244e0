#include "tools/builder/build.h"

#include <exception>
#include <thread>

#include "package/format.h"
#include "tools/builder/block_pipeline.h"
#include "tools/builder/executables.h"
#include "tools/writer/package_writer.h"
#include "tools/writer/records.h"

namespace zorv {

namespace {

// Labels of entries that nobody looks up by name; the bitmaps carry their own names.
constexpr std::string_view kLabelApplication = "Application";
constexpr std::string_view kLabelCopy = "Copy";
constexpr std::string_view kLabelFolder = "Folder";
constexpr std::string_view kLabelDirectory = "Directory";
constexpr std::string_view kLabelShortcut = "ShortCut";
constexpr std::string_view kLabelRegistry = "Registry";
constexpr std::string_view kLabelDelete = "Delete";
constexpr std::string_view kLabelUninstaller = "Uninstaller";
constexpr std::string_view kLabelCodePage = "CodePage";
constexpr std::string_view kLabelRelease = "Release";
constexpr std::string_view kValueType = "REG_SZ";

// Offsets and sizes are 32-bit; the directory, a few bytes per entry, must fit after the data.
constexpr std::uint64_t kMaxPackage = 0xFFFFFFFFu;

std::vector<BlockSource> blockList(const Plan& plan) {
  std::vector<BlockSource> blocks;
  blocks.reserve(plan.blockCount);
  forEachFileInPackageOrder(plan, [&](const PlannedFile& f) {
    for (std::uint64_t at = 0; at < f.size; at += kBlockSize)
      blocks.push_back(
          {f.source, at,
           static_cast<std::uint32_t>(std::min<std::uint64_t>(kBlockSize, f.size - at)), f.size,
           f.contents});
  });
  return blocks;
}

}  // namespace

unsigned defaultThreadCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n ? n : 1;
}

namespace {

class Layout {
 public:
  Layout(const Plan& plan, const BuildOptions& options, int level, PackageWriter& writer)
      : plan_(plan),
        options_(options),
        level_(level),
        writer_(writer),
        pipeline_(blockList(plan), options.threads ? options.threads : defaultThreadCount(),
                  level) {}

  bool addFiles();
  const std::string& error() const { return error_; }

 private:
  std::optional<Bytes> copyRecordOf(const PlannedFile& f);
  std::optional<Bytes> folderRecordOf(const PlannedFolder& d);
  std::optional<PackedRange> place(const PreparedBody& body);
  std::optional<PackedRange> placeRecord(const Bytes& record);

  const Plan& plan_;
  const BuildOptions& options_;
  int level_;
  Deflater deflater_;  // for the records
  PackageWriter& writer_;
  BlockPipeline pipeline_;
  std::uint64_t done_ = 0;
  std::string error_;
};

std::optional<PackedRange> Layout::place(const PreparedBody& body) {
  if (writer_.dataSize() + body.bytes.size() +
          std::uint64_t(writer_.entryCount() + 16) * kEntrySize >
      kMaxPackage) {
    error_ = "the package would pass 4 GB, the most its 32-bit offsets can address";
    return std::nullopt;
  }
  return writer_.addPrepared(body);
}

std::optional<PackedRange> Layout::placeRecord(const Bytes& record) {
  auto body = prepareBody(record, level_, deflater_);
  if (!body) {
    error_ = "compressing a record failed: " + body.error();
    return std::nullopt;
  }
  return place(*body);
}

// The file's blocks go into the package now, just before wherever its record goes next.
std::optional<Bytes> Layout::copyRecordOf(const PlannedFile& f) {
  std::vector<TaggedRange> blocks;
  for (std::uint64_t at = 0; at < f.size; at += kBlockSize) {
    std::expected<PreparedBody, std::string> body = pipeline_.next();
    if (!body) {
      error_ = std::move(body.error());
      return std::nullopt;
    }
    auto range = place(*body);
    if (!range) return std::nullopt;
    blocks.push_back({kTagBlockMarker, *range});
    done_ += body->unpacked;
    if (options_.progress) options_.progress(done_, plan_.totalBytes);
  }
  return copyRecord(f.name, static_cast<std::uint32_t>(f.size), blocks);
}

// Members are placed before the record that lists them: files (blocks, then record), then
// sub-folders, depth first.
std::optional<Bytes> Layout::folderRecordOf(const PlannedFolder& d) {
  std::vector<TaggedRange> members;
  for (const PlannedFile& f : d.files) {
    auto record = copyRecordOf(f);
    if (!record) return std::nullopt;
    auto range = placeRecord(*record);
    if (!range) return std::nullopt;
    members.push_back({kTagCopy, *range});
  }
  for (const PlannedFolder& sub : d.folders) {
    auto record = folderRecordOf(sub);
    if (!record) return std::nullopt;
    auto range = placeRecord(*record);
    if (!range) return std::nullopt;
    members.push_back({kTagCopyDir, *range});
  }
  return directoryRecord(d.name, members);
}

bool Layout::addFiles() {
  for (const PlannedFile& f : plan_.files) {
    auto record = copyRecordOf(f);
    if (!record) return false;
    writer_.addEntry(kTagCopy, kLabelCopy, *record);
  }
  for (const PlannedFolder& d : plan_.folders) {
    auto record = folderRecordOf(d);
    if (!record) return false;
    writer_.addEntry(kTagCopyDir, kLabelFolder, *record);
  }
  return true;
}

// Everything but the header and the directory, which the writer adds when it finishes.
std::expected<void, std::string> layOut(const Manifest& m, const Plan& plan,
                                        const BuildOptions& options, PackageWriter& w,
                                        BuildSummary* summary) {
  const int level = options.best || m.bestCompression ? kBestLevel : kDefaultLevel;
  w.setLevel(level);
  Layout layout(plan, options, level, w);
  w.addEntry(kTagAppName, kLabelApplication, nameRecord(m.appName.text));
  const auto total = static_cast<std::uint32_t>(plan.totalBytes);
  w.addInline(kTagSum, kLabelCopy, total, total);
  if (m.defaultParent)
    w.addEntry(kTagDefaultDir, kLabelDirectory, nameRecord(m.defaultParent->text));
  // The bitmaps come before every other entry, so no label can shadow their names.
  for (const PlannedBitmap& b : plan.bitmaps) w.addEntry(kTagBitmap, b.name, b.body);

  if (!layout.addFiles()) return std::unexpected(layout.error());

  for (const ShortcutSpec& s : m.shortcuts)
    if (s.group) w.addEntry(kTagGroupLink, kLabelShortcut, linkRecord(s.name, s.target));
  for (const ShortcutSpec& s : m.shortcuts)
    if (s.desktop) w.addEntry(kTagDesktopLink, kLabelShortcut, linkRecord(s.name, s.target));
  if (m.registry) {
    w.addEntry(kTagRoot, kLabelRegistry, rootRecord(m.registry->root, m.registry->path));
    for (const RegistryValueSpec& v : m.registry->values)
      w.addEntry(kTagValue, kLabelRegistry, valueRecord(v.name, kValueType, v.data));
  }
  for (const ManifestText& t : m.deleteFolders)
    w.addEntry(kTagDeleteDir, kLabelDelete, nameRecord(t.text));
  for (const ManifestText& t : m.deleteFiles)
    w.addEntry(kTagDeleteFile, kLabelDelete, nameRecord(t.text));
  if (m.run) w.addEntry(kTagRunProgram, kLabelApplication, nameRecord(m.run->text));
  // Last, so that a package without the uninstaller is laid out exactly as before. The
  // uninstaller shows its own icon, which carries the product's.
  if (plan.carriesUninstaller) {
    const auto text = [](const std::optional<ManifestText>& t) {
      return t ? std::string_view(t->text) : std::string_view();
    };
    w.addEntry(kTagUninstaller, kLabelUninstaller,
               uninstallerRecord(kUninstallerName, text(m.version), text(m.publisher), ""));
  }
  // Our own entry, after every entry the setup reads, so that the rest is laid out as before.
  w.addEntry(kTagCodePage, kLabelCodePage, codePageRecord(static_cast<std::uint32_t>(m.codePage)));
  w.addEntry(kTagRelease, kLabelRelease,
             releaseRecord(kReleaseFeatures | (m.userScope ? kReleaseUserScope : 0)));

  if (w.dataSize() + std::uint64_t(w.entryCount()) * kEntrySize + 1024 > kMaxPackage)
    return std::unexpected("the package would pass 4 GB, the most its 32-bit offsets can address");
  if (summary) {
    *summary = {static_cast<std::size_t>(w.entryCount()), plan.fileCount, plan.folderCount,
                plan.blockCount, plan.totalBytes};
  }
  return {};
}

std::string outOfMemory(const std::exception& e) {
  return std::string("out of memory while building the package (") + e.what() + ")";
}

}  // namespace

std::expected<std::vector<std::uint8_t>, std::string> buildPackage(const Manifest& m,
                                                                   const Plan& plan,
                                                                   const BuildOptions& options,
                                                                   BuildSummary* summary) {
  // The writer's errors are values; only a lack of memory for its buffers throws, and it
  // stops here.
  try {
    PackageWriter w(options.headerName);
    if (auto laid = layOut(m, plan, options, w, summary); !laid)
      return std::unexpected(laid.error());
    auto package = w.finish();
    if (!package) return std::unexpected("cannot build the package: " + package.error());
    return package;
  } catch (const std::exception& e) {
    return std::unexpected(outOfMemory(e));
  }
}

std::expected<std::uint64_t, std::string> buildPackageInto(std::FILE* file,
                                                           std::uint64_t fileOffset,
                                                           const Manifest& m, const Plan& plan,
                                                           const BuildOptions& options,
                                                           BuildSummary* summary) {
  try {
    PackageWriter w(file, fileOffset, options.headerName);
    if (auto laid = layOut(m, plan, options, w, summary); !laid)
      return std::unexpected(laid.error());
    const auto packageSize = w.finishInto();
    if (!packageSize) return std::unexpected("cannot write the package: " + packageSize.error());
    return packageSize;
  } catch (const std::exception& e) {
    return std::unexpected(outOfMemory(e));
  }
}

std::optional<std::vector<std::uint8_t>> buildFromManifest(const std::string& manifestPath,
                                                           const BuildOptions& options,
                                                           Diagnostics& diag,
                                                           BuildSummary* summary) {
  auto manifest = loadManifest(manifestPath, diag);
  if (!manifest) return std::nullopt;
  auto plan = makePlan(*manifest, diag);
  if (!plan) return std::nullopt;
  std::string uninstaller = options.uninstaller;
  if (auto carried = carryUninstaller(*manifest, *plan, uninstaller, true, diag); !carried) {
    diag.error(manifestPath, 0, carried.error());
    return std::nullopt;
  }
  auto package = buildPackage(*manifest, *plan, options, summary);
  if (!package) {
    diag.error(manifestPath, 0, package.error());
    return std::nullopt;
  }
  return std::move(*package);
}

}  // namespace zorv
