#include "tools/inspect/verify.h"

#include <algorithm>
#include <optional>
#include <set>

#include "install/install.h"
#include "install/package_limits.h"
#include "install/package_walk.h"
#include "package/byte_cursor.h"
#include "package/code_page.h"
#include "package/package.h"
#include "platform/codepage.h"
#include "tools/builder/bmp.h"
#include "tools/builder/limits.h"
#include "tools/builder/registry_text.h"

namespace zorv {

namespace {

std::string quoted(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) out += (c < 0x20 || c == 0x7F) ? '?' : char(c);
  return out + "\"";
}

// Reads `count` bytes that must be a text whose NUL is the last byte.
std::optional<std::string> countedText(ByteCursor& c, std::size_t count, std::string* why) {
  if (count == 0) {
    *why = "a text of length 0 (the length counts the NUL)";
    return std::nullopt;
  }
  auto bytes = c.bytes(count);
  if (!c.ok()) {
    *why = "a text that runs past the end of the record";
    return std::nullopt;
  }
  std::string text(bytes.begin(), bytes.end() - 1);
  if (bytes.back() != 0 || text.find('\0') != std::string::npos) {
    *why = "a text whose NUL is not where its length byte says";
    return std::nullopt;
  }
  return text;
}

// The text of a record whose body runs to the end with a NUL as its last byte.
std::optional<std::string> restText(ByteCursor& c, std::string* why) {
  return countedText(c, c.remaining(), why);
}

class Verifier {
 public:
  Verifier(Package& p, VerifyReport& r, std::uint32_t walkBudget)
      : p_(p), r_(r), walkBudget_(walkBudget), walk_(walkBudget) {}
  void run();

 private:
  void problem(std::string s) { r_.problems.push_back(std::move(s)); }
  void warning(std::string s) { r_.warnings.push_back(std::move(s)); }
  std::string entryName(std::int32_t i) const;

  void checkEntryFields(std::int32_t i);
  void checkRecord(std::int32_t i, std::span<const std::uint8_t> body);
  std::optional<std::string> nameRecord(const std::string& where,
                                        std::span<const std::uint8_t> body);
  // The file's name when the record could be read.
  std::optional<std::string> checkCopy(const std::string& where,
                                       std::span<const std::uint8_t> body);
  void checkFolder(const std::string& where, std::span<const std::uint8_t> body, int depth);
  // Counts the visit of the record at `offset` as the setup's walk does; false, after the
  // problem that names `where`, when the setup would not read it.
  bool enter(const std::string& where, std::uint32_t offset);
  void checkLink(const std::string& where, std::span<const std::uint8_t> body, bool desktop);
  void checkRoot(const std::string& where, std::span<const std::uint8_t> body, bool first);
  void checkValue(const std::string& where, std::span<const std::uint8_t> body, bool used);
  void checkBitmap(std::int32_t i, std::span<const std::uint8_t> body);
  void checkUninstaller(std::int32_t i, std::span<const std::uint8_t> body);
  void checkCodePage(std::int32_t i, std::span<const std::uint8_t> body);
  void checkUninstallerIsCarried();
  void checkName(const std::string& where, const std::string& name, bool wildcards, bool fatal);
  void checkBitmapNames();
  void noteStored(const std::string& where, PackedRange range);

  Package& p_;
  VerifyReport& r_;
  const std::uint32_t walkBudget_;
  std::optional<std::string> appName_;
  std::optional<std::string> defaultParent_;
  std::optional<std::uint32_t> sum_;
  std::int32_t firstRoot_ = -1, secondRoot_ = -1;
  // The setup's walk of the package's files and folders, in the order of the directory rather
  // than of the run: whether the budget suffices and a record is reached twice does not depend
  // on it, only which record is named.
  PackageWalk walk_;
  bool overBudget_ = false;  // reported once
  std::set<std::string> topLevelFiles_;   // names of the top-level "Copy" records, ASCII-folded
  std::optional<std::string> uninstaller_;  // the program of the first "UnIn" entry
  std::string uninstallerWhere_;
  std::string firstStored_;  // where the first stored body or range was met
  // A file or folder record could not be read: its blocks are missing from the sum, which
  // then says nothing more.
  bool unreadableRecord_ = false;
};

std::string Verifier::entryName(std::int32_t i) const {
  const EntryInfo e = p_.entry(i);
  return "entry " + std::to_string(i) + " (" + tagText(e.tag) + " " + quoted(e.name) + ")";
}

void Verifier::checkEntryFields(std::int32_t i) {
  std::span<const std::uint8_t> raw = p_.entryBytes(i);
  const std::string where = entryName(i);
  if (loadLE32(&raw[kEntryIndexOffset]) != static_cast<std::uint32_t>(i))
    problem(where + ": its index field says " + std::to_string(loadLE32(&raw[kEntryIndexOffset])) +
            "; lookups by name would address the wrong entry");
  if (loadLE32(&raw[kEntryCacheOffset]) != 0 || loadLE32(&raw[kEntryCountOffset]) != 0)
    problem(where + ": its cache and count slots must be 0");
  if (raw[kEntryNameOffset + kNameFieldSize - 1] != 0)
    problem(where + ": its name fills all 16 bytes of its field, leaving no NUL");
}

std::optional<std::string> Verifier::nameRecord(const std::string& where,
                                                std::span<const std::uint8_t> body) {
  ByteCursor c(body);
  std::string why;
  auto text = countedText(c, c.u8(), &why);
  if (!text) {
    problem(where + ": " + why);
    return std::nullopt;
  }
  if (c.remaining() != 0)
    problem(where + ": " + std::to_string(c.remaining()) + " bytes after the text");
  return text;
}

void Verifier::checkName(const std::string& where, const std::string& name, bool wildcards,
                         bool fatal) {
  std::string why = relativeNameProblem(name, wildcards);
  if (!why.empty()) {
    (fatal ? r_.problems : r_.warnings)
        .push_back(where + ": the name " + quoted(name) +
                   " is not a name below the destination folder: it holds " + why);
    return;
  }
  if (!appName_) return;
  const std::size_t path =
      destinationLength(defaultParent_.value_or(""), defaultParent_.has_value(), *appName_) + 1 +
      name.size();
  if (path > kMaxPath)
    warning(where + ": " + quoted(name) + " makes a path of " + std::to_string(path) +
            " characters below the proposed destination; the setup holds " +
            std::to_string(kMaxPath));
}

// A stored body comes back from the reader as it lies in the package: a damaged byte in it
// would be installed as it is. The builder packs every body; older packages may not.
void Verifier::noteStored(const std::string& where, PackedRange range) {
  if (!range.isStored() || range.unpacked == 0) return;
  if (r_.stored++ == 0) firstStored_ = where;
}

// CopyRecord: name length (without the NUL), name, NUL, file size, block count, the blocks.
std::optional<std::string> Verifier::checkCopy(const std::string& where,
                                               std::span<const std::uint8_t> body) {
  ++r_.files;
  ByteCursor c(body);
  const std::uint8_t length = c.u8();
  std::string why;
  auto name = countedText(c, std::size_t(length) + 1, &why);
  const std::uint32_t fileSize = c.u32();
  const std::int32_t count = c.i32();
  if (!name || !c.ok()) {
    problem(where + ": not a file record: " + (name ? "it ends early" : why));
    return std::nullopt;
  }
  const std::string file = where + " file " + quoted(*name);
  checkName(file, *name, false, true);
  if (namesUninstallLog(*name))
    problem(file + ": is the uninstall log, which the setup has open while it writes files");
  if (count < 0) warning(file + ": a negative block count, read as no block");
  const std::size_t blocks = count > 0 ? std::size_t(count) : 0;
  if (c.remaining() / kTaggedRangeSize < blocks || c.remaining() != blocks * kTaggedRangeSize) {
    problem(file + ": the record holds " + std::to_string(c.remaining()) +
            " bytes of blocks for a count of " + std::to_string(count));
    return name;
  }
  std::uint64_t sum = 0;
  for (std::size_t b = 0; b < blocks; ++b) {
    c.u32();  // the block marker is never examined
    PackedRange range{c.u32(), c.u32(), c.u32()};
    // Counted at its stated size even when it cannot be read, so that its one problem does
    // not come back as a wrong file size and a wrong SumC.
    sum += range.unpacked;
    const std::string block = file + " block " + std::to_string(b);
    auto data = p_.readRange(range);
    if (!data) {
      problem(block + " cannot be read: " + p_.lastError());
      continue;
    }
    noteStored(block, range);
    ++r_.blocks;
  }
  r_.bytes += sum;
  if (sum != fileSize)
    problem(file + ": its size field says " + std::to_string(fileSize) +
            " bytes, its blocks hold " + std::to_string(sum));
  return name;
}

// DirectoryRecord: name length (with the NUL), name, member count, the members.
void Verifier::checkFolder(const std::string& where, std::span<const std::uint8_t> body,
                           int depth) {
  ++r_.folders;
  ByteCursor c(body);
  std::string why;
  auto name = countedText(c, c.u8(), &why);
  const std::int32_t count = c.i32();
  if (!name || !c.ok()) {
    problem(where + ": not a folder record: " + (name ? "it ends early" : why));
    return;
  }
  const std::string folder = where + " folder " + quoted(*name);
  checkName(folder, *name, false, true);
  if (count < 0) warning(folder + ": a negative member count, read as none");
  const std::size_t members = count > 0 ? std::size_t(count) : 0;
  if (c.remaining() / kTaggedRangeSize < members || c.remaining() != members * kTaggedRangeSize) {
    problem(folder + ": the record holds " + std::to_string(c.remaining()) +
            " bytes of members for a count of " + std::to_string(count));
    return;
  }
  for (std::size_t m = 0; m < members; ++m) {
    const std::uint32_t tag = c.u32();
    PackedRange range{c.u32(), c.u32(), c.u32()};
    const std::string member = folder + " member " + std::to_string(m);
    if (tag != kTagCopy && tag != kTagCopyDir) {
      warning(member + ": tag " + quoted(tagText(tag)) + ", which the setup skips");
      continue;
    }
    if (!enter(member, range.offset)) return;  // the setup's walk ends there
    auto data = p_.readRange(range);
    if (!data) {
      problem(member + ": cannot be read: " + p_.lastError());
      unreadableRecord_ = true;
      continue;
    }
    noteStored(member, range);
    if (tag == kTagCopy) {
      checkCopy(member, data->bytes());
    } else if (depth >= kMaxDirectoryDepth) {
      problem(member + ": folders nest deeper than " + std::to_string(kMaxDirectoryDepth) +
              " levels");
    } else {
      checkFolder(member, data->bytes(), depth + 1);
    }
  }
}

bool Verifier::enter(const std::string& where, std::uint32_t offset) {
  switch (walk_.visit(offset)) {
    case Visit::Fresh:
      return true;
    case Visit::Again:
      problem(where + ": its record is reached twice in the walk of the package (at offset " +
              std::to_string(offset) + "), by a loop or a shared record; the setup stops there "
              "as at a damaged record");
      unreadableRecord_ = true;
      return false;
    case Visit::OverBudget:
      if (!overBudget_)
        problem(where + ": the package holds more than " + std::to_string(walkBudget_) +
                " file and folder records, more than the setup walks");
      overBudget_ = true;
      unreadableRecord_ = true;
      return false;
  }
  return false;
}

// LinkRecord: two length bytes (with the NULs), link name, target.
void Verifier::checkLink(const std::string& where, std::span<const std::uint8_t> body,
                         bool desktop) {
  ++r_.links;
  ByteCursor c(body);
  const std::uint8_t l1 = c.u8(), l2 = c.u8();
  std::string why;
  auto link = countedText(c, l1, &why);
  auto target = link ? countedText(c, l2, &why) : std::nullopt;
  if (!target) {
    problem(where + ": not a link record: " + why);
    return;
  }
  if (c.remaining() != 0)
    problem(where + ": " + std::to_string(c.remaining()) + " bytes after the target");
  checkName(where + " link", *link, false, false);
  checkName(where + " target", *target, false, false);
  if (desktop && link->find('\\') != std::string::npos)
    warning(where + ": the desktop link " + quoted(*link) +
            " names a sub-folder, which the setup does not create");
}

// RootRecord: root length (with the NUL), two unread bytes, root, key path to the end.
void Verifier::checkRoot(const std::string& where, std::span<const std::uint8_t> body, bool first) {
  ByteCursor c(body);
  const std::uint8_t l1 = c.u8();
  c.skip(2);
  std::string why;
  auto root = countedText(c, l1, &why);
  auto path = root ? restText(c, &why) : std::nullopt;
  if (!path) {
    problem(where + ": not a registry key record: " + why);
    return;
  }
  why = registryNameProblem(*path);
  if (!why.empty()) problem(where + ": the key path " + quoted(*path) + " holds " + why);
  why = registryRootProblem(*root);
  if (!why.empty())
    (first ? r_.problems : r_.warnings)
        .push_back(where + ": " + why + (first ? "; the install would stop there" : ""));
  if (!first)
    warning(where + ": only the first registry key is written; this one ends its list of values");
}

// ValueRecord: name and type lengths (with the NULs), an unread byte, name, type, data.
void Verifier::checkValue(const std::string& where, std::span<const std::uint8_t> body, bool used) {
  ++r_.values;
  ByteCursor c(body);
  const std::uint8_t l1 = c.u8(), l2 = c.u8();
  c.skip(1);
  std::string why;
  auto name = countedText(c, l1, &why);
  auto type = name ? countedText(c, l2, &why) : std::nullopt;
  auto data = type ? restText(c, &why) : std::nullopt;
  if (!data) {
    problem(where + ": not a registry value record: " + why);
    return;
  }
  why = registryNameProblem(*name);
  if (!why.empty()) problem(where + ": the value name " + quoted(*name) + " holds " + why);
  if (!used)
    warning(where + ": outside the first registry key's list of values; the setup ignores it");
  if (foldAscii(*type) != "reg_sz")
    warning(where + ": type " + quoted(*type) + "; the setup writes only REG_SZ values");
  const std::size_t destination =
      appName_
          ? destinationLength(defaultParent_.value_or(""), defaultParent_.has_value(), *appName_)
          : 0;
  why = valueDataProblem(*data, destination);
  if (!why.empty()) warning(where + ": " + why);
}

void Verifier::checkBitmap(std::int32_t i, std::span<const std::uint8_t> body) {
  ++r_.bitmaps;
  const EntryInfo e = p_.entry(i);
  BitmapShape shape;
  std::string why = bitmapBodyProblem(body, &shape);
  if (!why.empty()) {
    problem(entryName(i) + ": the setup cannot draw this bitmap: " + why);
    return;
  }
  for (const PageBitmapSize& s : kPageBitmapSizes)
    if (e.name == s.name) {
      if (shape.width != s.width || shape.height != s.height)
        warning(entryName(i) + ": " + std::to_string(shape.width) + " x " +
                std::to_string(shape.height) + ", where the page expects " +
                std::to_string(s.width) + " x " + std::to_string(s.height));
      return;
    }
  warning(entryName(i) + ": not one of the page's bitmaps (title, pic, zorv, pic1, pic2)");
}

// UninstallerRecord: four length bytes (each counting its NUL), then the program, version,
// publisher and icon texts. The setup registers the program, a name below the destination, in
// the system's list of installed programs.
void Verifier::checkUninstaller(std::int32_t i, std::span<const std::uint8_t> body) {
  const std::string where = entryName(i);
  if (i != p_.findByTag(kTagUninstaller, 0, -1)) {
    warning(where + ": only the first uninstaller entry is used");
    return;
  }
  ByteCursor c(body);
  std::size_t lengths[4];
  for (std::size_t& l : lengths) l = c.u8();
  std::string texts[4], why;
  for (std::size_t k = 0; k < 4; ++k) {
    auto text = countedText(c, lengths[k], &why);
    if (!text) {
      problem(where + ": not an uninstaller record: " + why);
      return;
    }
    texts[k] = std::move(*text);
  }
  if (c.remaining() != 0)
    problem(where + ": " + std::to_string(c.remaining()) + " bytes after the icon's name");
  const auto& [program, version, publisher, icon] = texts;
  if (program.empty()) {
    problem(where + ": names no program");
    return;
  }
  checkName(where + " program", program, false, true);
  if (namesUninstallLog(program))
    problem(where + ": the program is the uninstall log " + quoted(program));
  if (!icon.empty()) checkName(where + " icon", icon, false, true);
  for (const auto& [text, what] : {std::pair{&version, "version"}, std::pair{&publisher, "publisher"}})
    if (std::any_of(text->begin(), text->end(),
                    [](unsigned char ch) { return ch < 0x20 || ch == 0x7F; }))
      warning(where + ": the " + what + " " + quoted(*text) + " holds control characters");
  if (appName_ && !appName_->empty() && !usableUninstallKeyName(*appName_))
    warning(where + ": the setup registers no uninstaller for the application name " +
            quoted(*appName_) + ", which holds a backslash or control characters");
  uninstaller_ = program;
  uninstallerWhere_ = where;
}

// CodePageRecord (package/code_page.h): the tools read every text of the package in it.
void Verifier::checkCodePage(std::int32_t i, std::span<const std::uint8_t> body) {
  const std::string where = entryName(i);
  if (i != p_.findByTag(kTagCodePage, 0, -1)) {
    warning(where + ": only the first code page entry is used");
    return;
  }
  const std::optional<std::uint32_t> codePage = parseCodePageRecord(body);
  if (!codePage)
    problem(where + ": not a code page record: " + std::to_string(body.size()) + " bytes, not " +
            std::to_string(kCodePageRecordSize));
  else if (*codePage > 0xFFFF || !isSupportedCodePage(static_cast<int>(*codePage)))
    problem(where + ": names code page " + std::to_string(*codePage) + ", not 1252 or 1251");
}

// The program must be installed where the system's list will look for it.
void Verifier::checkUninstallerIsCarried() {
  if (uninstaller_ && !topLevelFiles_.count(foldAscii(*uninstaller_)))
    problem(uninstallerWhere_ + ": the program " + quoted(*uninstaller_) +
            " is not a file at the top of the package");
}

// The page finds its bitmaps by name only: the first entry of that name must be the bitmap.
void Verifier::checkBitmapNames() {
  for (const PageBitmapSize& s : kPageBitmapSizes) {
    const std::int32_t first = p_.findByName(s.name);
    if (first < 0) continue;
    bool hasBitmap = false;
    for (std::uint32_t i = 0; i < p_.entryCount(); ++i)
      hasBitmap = hasBitmap || (p_.entry(std::int32_t(i)).tag == kTagBitmap &&
                                p_.entry(std::int32_t(i)).name == s.name);
    if (hasBitmap && p_.entry(first).tag != kTagBitmap)
      problem(entryName(first) + ": stands before the bitmap " + quoted(s.name) +
              " with the same name, so the page would take it for the picture");
  }
}

void Verifier::checkRecord(std::int32_t i, std::span<const std::uint8_t> body) {
  const EntryInfo e = p_.entry(i);
  const std::string where = entryName(i);
  switch (e.tag) {
    case kTagCopy:
      if (!enter(where, e.offset)) break;
      if (auto name = checkCopy(where, body)) topLevelFiles_.insert(foldAscii(*name));
      break;
    case kTagCopyDir:
      if (enter(where, e.offset)) checkFolder(where, body, 1);
      break;
    case kTagGroupLink:
      checkLink(where, body, false);
      break;
    case kTagDesktopLink:
      checkLink(where, body, true);
      break;
    case kTagRoot:
      checkRoot(where, body, i == firstRoot_);
      break;
    case kTagValue:
      checkValue(where, body,
                 firstRoot_ >= 0 && i > firstRoot_ && (secondRoot_ < 0 || i < secondRoot_));
      break;
    case kTagBitmap:
      checkBitmap(i, body);
      break;
    case kTagUninstaller:
      checkUninstaller(i, body);
      break;
    case kTagCodePage:
      checkCodePage(i, body);
      break;
    case kTagRelease:
      break;  // the setup asks only whether it is there
    case kTagDefaultDir:
    case kTagAppName:
      break;  // read before the walk
    case kTagDeleteDir:
    case kTagDeleteFile:
    case kTagRunProgram:
      if (auto text = nameRecord(where, body)) {
        if (e.tag != kTagRunProgram)
          checkName(where, *text, e.tag == kTagDeleteFile, true);
        else if (i != p_.findByTag(kTagRunProgram, 0, -1))
          warning(where + ": only the first program to run is started");
      }
      break;
    default:
      warning(where + ": a tag the setup does not use");
  }
}

void Verifier::run() {
  r_.entries = p_.entryCount();
  // The texts other records are measured against come first.
  for (std::uint32_t tag : {kTagAppName, kTagDefaultDir}) {
    const std::int32_t i = p_.findByTag(tag, 0, -1);
    if (i < 0) continue;
    auto body = p_.acquireEntry(i);
    if (!body || p_.entry(i).isInline()) continue;  // reported in the walk
    auto text = nameRecord(entryName(i), *body);
    p_.releaseEntry(i);
    if (!text) continue;
    (tag == kTagAppName ? appName_ : defaultParent_) = *text;
  }
  if (p_.findByTag(kTagAppName, 0, -1) < 0)
    problem("no AppN entry: the setup would report \"Setup corrupted\"");
  if (appName_ && appName_->size() > kMaxAppName)
    problem("the application name is " + std::to_string(appName_->size()) +
            " characters long; the setup holds " + std::to_string(kMaxAppName));
  // The application name is also the program group's folder below Programs.
  if (appName_ && escapesDirectory(*appName_))
    problem("the application name " + quoted(*appName_) +
            " leaves the Programs folder when it names the program group");
  else if (appName_ && !namesSubfolder(*appName_))
    warning("the application name " + quoted(*appName_) +
            " names no folder of its own below Programs; the setup makes no program group");
  if (defaultParent_) {
    const std::string why = defaultParentProblem(*defaultParent_);
    if (!why.empty()) warning("the default parent folder " + quoted(*defaultParent_) + " " + why);
  }
  if (appName_ && defaultParent_ && destinationLength(*defaultParent_, true, *appName_) > kMaxPath)
    problem("the default parent folder and the application name make a destination longer than " +
            std::to_string(kMaxPath) + " characters");
  firstRoot_ = p_.findByTag(kTagRoot, 0, -1);
  secondRoot_ = firstRoot_ < 0 ? -1 : p_.findByTag(kTagRoot, firstRoot_ + 1, -1);

  for (std::uint32_t u = 0; u < p_.entryCount(); ++u) {
    const auto i = static_cast<std::int32_t>(u);
    checkEntryFields(i);
    const EntryInfo e = p_.entry(i);
    if (e.tag == kTagEmpty) {
      ++r_.emptySlots;
      if (e.offset || e.unpacked || e.packed || !e.name.empty())
        warning(entryName(i) + ": an empty slot with sizes or a name");
      continue;
    }
    if (e.tag == kTagSum) {
      if (!e.isInline())
        problem(entryName(i) + ": must be inline (offset 0); the setup reads its size field");
      if (e.packed != e.unpacked)
        warning(entryName(i) + ": its packed size should repeat the total");
      if (!sum_) sum_ = e.unpacked;
      continue;
    }
    if (e.isInline()) {
      problem(entryName(i) +
              ": has no body (offset 0), so the setup would read the entry itself as its record");
      continue;
    }
    auto body = p_.acquireEntry(i);
    if (!body) {
      problem(entryName(i) + ": its body cannot be read: " + p_.lastError());
      unreadableRecord_ = unreadableRecord_ || e.tag == kTagCopy || e.tag == kTagCopyDir;
      continue;
    }
    noteStored(entryName(i), {e.offset, e.unpacked, e.packed});
    checkRecord(i, *body);
    p_.releaseEntry(i);
  }
  if (r_.stored)
    warning(std::to_string(r_.stored) + (r_.stored == 1 ? " body is" : " bodies are") +
            " stored rather than packed, so the setup cannot tell damaged bytes in them (the "
            "first: " + firstStored_ + ")");
  checkBitmapNames();
  checkUninstallerIsCarried();
  if (!sum_)
    problem("no SumC entry: the setup would report \"Setup corrupted\"");
  else if (*sum_ != r_.bytes && !unreadableRecord_)
    problem("SumC says " + std::to_string(*sum_) + " bytes, but the data blocks hold " +
            std::to_string(r_.bytes));
}

}  // namespace

std::string VerifyReport::summary() const {
  std::string s;
  for (const std::string& w : warnings) s += "warning: " + w + "\n";
  if (!ok()) {
    for (const std::string& p : problems) s += "problem: " + p + "\n";
    return s;
  }
  s += "OK: " + std::to_string(entries) + " entries (" + std::to_string(emptySlots) + " empty), " +
       std::to_string(files) + " files in " + std::to_string(blocks) + " blocks, " +
       std::to_string(folders) + " folders, " + std::to_string(bytes) + " bytes, " +
       std::to_string(links) + " links, " + std::to_string(values) + " registry values, " +
       std::to_string(bitmaps) + " bitmaps\n";
  return s;
}

VerifyReport verifyPackage(std::span<const std::uint8_t> package, std::uint32_t walkBudget) {
  VerifyReport r;
  std::string why;
  std::unique_ptr<Package> p = openPackage(package, &why);
  if (!p) {
    r.problems.push_back("not a readable package: " + why);
    return r;
  }
  const PackageHeader& h = p->header();
  if (std::string_view(reinterpret_cast<const char*>(h.magic), 4) != kMagic)
    r.warnings.push_back("the header's magic is not \"1cra\" (the setup does not test it)");
  if (package[kHeaderNameOffset + kNameFieldSize - 1] != 0)
    r.problems.push_back("the header's name fills its 16 bytes, leaving no NUL");
  if (std::uint64_t(h.directoryOffset) + h.directoryPacked != package.size())
    r.warnings.push_back(std::to_string(package.size() - h.directoryOffset - h.directoryPacked) +
                         " bytes follow the directory, which should end the package");
  Verifier(*p, r, walkBudget).run();
  return r;
}

}  // namespace zorv
