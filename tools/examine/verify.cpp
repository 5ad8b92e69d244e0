#include "tools/examine/verify.h"

#include <algorithm>
#include <optional>
#include <set>

#include "install/directory_walk.h"
#include "install/install.h"
#include "install/package_limits.h"
#include "install/package_walk.h"
#include "install/records.h"
#include "package/byte_cursor.h"
#include "package/code_page.h"
#include "package/package.h"
#include "platform/codepage.h"
#include "tools/builder/bmp.h"
#include "tools/builder/limits.h"
#include "tools/builder/registry_text.h"
#include "wizard/package_facts.h"

namespace zorv {

namespace {

std::string quoted(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) out += (c < 0x20 || c == 0x7F) ? '?' : char(c);
  return out + "\"";
}

// Every record is read by the setup's own parser (install/records.h) and every folder by its
// own walk (install/directory_walk.h): a record they refuse is a problem, and what they pass
// over in a record they read (its slack, a length byte nothing reads) is a warning.
class Verifier {
 public:
  Verifier(Package& p, VerifyReport& r, std::uint32_t walkBudget)
      : p_(p), r_(r), walkBudget_(walkBudget), walk_(walkBudget) {}
  void run();

  // The visitor of the setup's walk of a folder's members.
  void member(const RangeItem& item, std::uint32_t index, int depth);
  bool folder(const DirectoryRecord& dir, int depth);
  bool file(const CopyRecord& file);
  void stopped(WalkStop why);

 private:
  void problem(std::string s) { r_.problems.push_back(std::move(s)); }
  void warning(std::string s) { r_.warnings.push_back(std::move(s)); }
  std::string entryName(std::int32_t i) const;

  void checkEntryFields(std::int32_t i);
  void checkRecord(std::int32_t i, std::span<const std::uint8_t> body);
  void checkSlack(const std::string& where, std::size_t slack);
  // A name record's text, read by the setup, laid out otherwise than the builder writes it.
  void checkNameLayout(const std::string& where, std::span<const std::uint8_t> body,
                       std::string_view text);
  void checkFile(const std::string& where, const CopyRecord& file, std::size_t bodySize);
  // Also names the folder for its members, `depth` levels below the destination.
  void checkFolder(const std::string& where, const DirectoryRecord& dir, std::size_t bodySize,
                   int depth);
  // Counts the visit of a top-level record at `offset` as the setup's walk does; false, after
  // the problem, when the setup would not read it.
  bool enter(const std::string& where, std::uint32_t offset);
  // The problem of a walk that ends at the record of `tag` at `offset`, named by `where`.
  void walkEnds(const std::string& where, WalkStop why, std::uint32_t tag, std::uint32_t offset);
  void checkLink(const std::string& where, std::span<const std::uint8_t> body, bool desktop);
  void checkRoot(const std::string& where, std::span<const std::uint8_t> body, bool first);
  void checkValue(const std::string& where, std::span<const std::uint8_t> body, bool used);
  void checkBitmap(std::int32_t i, std::span<const std::uint8_t> body);
  void checkUninstaller(std::int32_t i, std::span<const std::uint8_t> body);
  void checkCodePage(std::int32_t i, std::span<const std::uint8_t> body);
  void checkUninstallerIsCarried();
  void checkName(const std::string& where, std::string_view name, bool wildcards, bool fatal);
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
  // Where the walk is: the folder at each depth, and the member it met last.
  std::vector<std::string> folderWhere_;
  std::string memberWhere_;
  RangeItem member_;
  std::set<std::string> topLevelFiles_;     // names of the top-level "Copy" records, ASCII-folded
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

void Verifier::checkSlack(const std::string& where, std::size_t slack) {
  if (slack != 0)
    warning(where + ": " + std::to_string(slack) + (slack == 1 ? " byte" : " bytes") +
            " that the setup does not read, after a text's NUL or after the last field");
}

void Verifier::checkNameLayout(const std::string& where, std::span<const std::uint8_t> body,
                               std::string_view text) {
  if (!parseNameRecord(body)) {  // only "AppN" and "DirD" are read without a NUL
    warning(where + ": its text ends without a NUL; the setup reads it to the end of the record");
    return;
  }
  checkSlack(where, nameRecordSlack(text, body.size()));
  const std::uint8_t length = nameRecordLength(body);
  if (length != std::uint8_t(text.size() + 1))
    warning(where + ": its length byte says " + std::to_string(length) + " for a text of " +
            std::to_string(text.size() + 1) + " bytes with its NUL; nothing reads it");
}

void Verifier::checkName(const std::string& where, std::string_view name, bool wildcards,
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

void Verifier::checkFile(const std::string& where, const CopyRecord& record, std::size_t bodySize) {
  ++r_.files;
  const std::string file = where + " file " + quoted(record.name);
  checkName(file, record.name, false, true);
  if (namesUninstallLog(record.name))
    problem(file + ": is the uninstall log, which the setup has open while it writes files");
  if (statedCount(record.blocks) < 0) warning(file + ": a negative block count, read as no block");
  checkSlack(file, recordSlack(record, bodySize));
  std::uint64_t sum = 0;
  for (std::uint32_t b = 0; b < record.blocks.size(); ++b) {
    const PackedRange range = record.blocks[b].range;  // the block marker is never examined
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
  if (sum != record.fileSize)
    problem(file + ": its size field says " + std::to_string(record.fileSize) +
            " bytes, its blocks hold " + std::to_string(sum));
}

void Verifier::checkFolder(const std::string& where, const DirectoryRecord& dir,
                           std::size_t bodySize, int depth) {
  ++r_.folders;
  const std::string folder = where + " folder " + quoted(dir.name);
  checkName(folder, dir.name, false, true);
  if (statedCount(dir.members) < 0) warning(folder + ": a negative member count, read as none");
  checkSlack(folder, recordSlack(dir, bodySize));
  folderWhere_.resize(std::size_t(depth) + 1);
  folderWhere_[std::size_t(depth)] = folder;
}

void Verifier::member(const RangeItem& item, std::uint32_t index, int depth) {
  member_ = item;
  memberWhere_ = folderWhere_[std::size_t(depth)] + " member " + std::to_string(index);
  if (item.tag != kTagCopy && item.tag != kTagCopyDir)
    warning(memberWhere_ + ": tag " + quoted(tagText(item.tag)) + ", which the setup skips");
}

// A member's body is exactly its range's unpacked size (Package::readRange).
bool Verifier::folder(const DirectoryRecord& dir, int depth) {
  noteStored(memberWhere_, member_.range);
  checkFolder(memberWhere_, dir, member_.range.unpacked, depth);
  return true;
}

bool Verifier::file(const CopyRecord& record) {
  noteStored(memberWhere_, member_.range);
  checkFile(memberWhere_, record, member_.range.unpacked);
  return true;
}

void Verifier::stopped(WalkStop why) {
  walkEnds(memberWhere_, why, member_.tag, member_.range.offset);
}

bool Verifier::enter(const std::string& where, std::uint32_t offset) {
  const Visit visit = walk_.visit(offset);
  if (visit != Visit::Fresh)
    walkEnds(where, visit == Visit::Again ? WalkStop::Again : WalkStop::OverBudget, 0, offset);
  return visit == Visit::Fresh;
}

void Verifier::walkEnds(const std::string& where, WalkStop why, std::uint32_t tag,
                        std::uint32_t offset) {
  unreadableRecord_ = true;
  switch (why) {
    case WalkStop::Again:
      problem(where + ": its record is reached twice in the walk of the package (at offset " +
              std::to_string(offset) +
              "), by a loop or a shared record; the setup stops there "
              "as at a damaged record");
      return;
    case WalkStop::OverBudget:
      if (!overBudget_)
        problem(where + ": the package holds more than " + std::to_string(walkBudget_) +
                " file and folder records, more than the setup walks");
      overBudget_ = true;
      return;
    case WalkStop::TooDeep:
      problem(where + ": folders nest deeper than " + std::to_string(kMaxDirectoryDepth) +
              " levels");
      return;
    case WalkStop::Unreadable: problem(where + ": cannot be read: " + p_.lastError()); return;
    case WalkStop::NotARecord:
      problem(where + (tag == kTagCopy ? ": not a file record" : ": not a folder record") +
              " that the setup can read");
      return;
  }
}

void Verifier::checkLink(const std::string& where, std::span<const std::uint8_t> body,
                         bool desktop) {
  ++r_.links;
  const std::optional<LinkRecord> link = parseLinkRecord(body);
  if (!link) {
    problem(where + ": not a link record that the setup can read");
    return;
  }
  checkSlack(where, recordSlack(*link, body.size()));
  checkName(where + " link", link->link, false, false);
  checkName(where + " target", link->target, false, false);
  if (desktop && link->link.find('\\') != std::string_view::npos)
    warning(where + ": the desktop link " + quoted(link->link) +
            " names a sub-folder, which the setup does not create");
}

void Verifier::checkRoot(const std::string& where, std::span<const std::uint8_t> body, bool first) {
  const std::optional<RootRecord> root = parseRootRecord(body);
  if (!root) {
    problem(where + ": not a registry key record that the setup can read");
    return;
  }
  checkSlack(where, recordSlack(*root, body.size()));
  std::string why = registryNameProblem(root->keyPath);
  if (!why.empty()) problem(where + ": the key path " + quoted(root->keyPath) + " holds " + why);
  why = registryRootProblem(root->root);
  if (!why.empty())
    (first ? r_.problems : r_.warnings)
        .push_back(where + ": " + why + (first ? "; the install would stop there" : ""));
  if (!first)
    warning(where + ": only the first registry key is written; this one ends its list of values");
}

void Verifier::checkValue(const std::string& where, std::span<const std::uint8_t> body, bool used) {
  ++r_.values;
  const std::optional<ValueRecord> value = parseValueRecord(body);
  if (!value) {
    problem(where + ": not a registry value record that the setup can read");
    return;
  }
  checkSlack(where, recordSlack(*value, body.size()));
  std::string why = registryNameProblem(value->name);
  if (!why.empty()) problem(where + ": the value name " + quoted(value->name) + " holds " + why);
  if (!used)
    warning(where + ": outside the first registry key's list of values; the setup ignores it");
  if (foldAscii(value->type) != "reg_sz")
    warning(where + ": type " + quoted(value->type) + "; the setup writes only REG_SZ values");
  const std::size_t destination =
      appName_
          ? destinationLength(defaultParent_.value_or(""), defaultParent_.has_value(), *appName_)
          : 0;
  why = valueDataProblem(value->data, destination);
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

// The setup registers the program, a name below the destination, in the system's list of
// installed programs.
void Verifier::checkUninstaller(std::int32_t i, std::span<const std::uint8_t> body) {
  const std::string where = entryName(i);
  if (i != p_.findByTag(kTagUninstaller, 0, -1)) {
    warning(where + ": only the first uninstaller entry is used");
    return;
  }
  const std::optional<UninstallerRecord> record = parseUninstallerRecord(body);
  if (!record) {
    problem(where +
            ": not an uninstaller record that the setup can read, or one that names no "
            "program");
    return;
  }
  checkSlack(where, recordSlack(*record, body.size()));
  checkName(where + " program", record->program, false, true);
  if (namesUninstallLog(record->program))
    problem(where + ": the program is the uninstall log " + quoted(record->program));
  if (!record->icon.empty()) checkName(where + " icon", record->icon, false, true);
  for (const auto& [text, what] :
       {std::pair{record->version, "version"}, std::pair{record->publisher, "publisher"}})
    if (std::any_of(text.begin(), text.end(),
                    [](unsigned char ch) { return ch < 0x20 || ch == 0x7F; }))
      warning(where + ": the " + what + " " + quoted(text) + " holds control characters");
  if (appName_ && !appName_->empty() && !usableUninstallKeyName(*appName_))
    warning(where + ": the setup registers no uninstaller for the application name " +
            quoted(*appName_) + ", which holds a backslash or control characters");
  uninstaller_ = std::string(record->program);
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
      if (const std::optional<CopyRecord> file = parseCopyRecord(body)) {
        checkFile(where, *file, body.size());
        topLevelFiles_.insert(foldAscii(file->name));
      } else {
        walkEnds(where, WalkStop::NotARecord, e.tag, e.offset);
      }
      break;
    case kTagCopyDir:
      if (!enter(where, e.offset)) break;
      if (const std::optional<DirectoryRecord> dir = parseDirectoryRecord(body)) {
        checkFolder(where, *dir, body.size(), 1);
        walkMembers(p_, *dir, 1, walk_, *this);  // a walk that ends has said why (stopped)
      } else {
        walkEnds(where, WalkStop::NotARecord, e.tag, e.offset);
      }
      break;
    case kTagGroupLink: checkLink(where, body, false); break;
    case kTagDesktopLink: checkLink(where, body, true); break;
    case kTagRoot: checkRoot(where, body, i == firstRoot_); break;
    case kTagValue:
      checkValue(where, body,
                 firstRoot_ >= 0 && i > firstRoot_ && (secondRoot_ < 0 || i < secondRoot_));
      break;
    case kTagBitmap: checkBitmap(i, body); break;
    case kTagUninstaller: checkUninstaller(i, body); break;
    case kTagCodePage: checkCodePage(i, body); break;
    case kTagRelease: break;  // the setup asks only whether it is there
    case kTagDefaultDir:
    case kTagAppName: break;  // read before the walk
    case kTagDeleteDir:
    case kTagDeleteFile:
    case kTagRunProgram:
      if (const std::optional<std::string_view> text = parseNameRecord(body)) {
        checkNameLayout(where, body, *text);
        if (e.tag != kTagRunProgram)
          checkName(where, *text, e.tag == kTagDeleteFile, true);
        else if (i != p_.findByTag(kTagRunProgram, 0, -1))
          warning(where + ": only the first program to run is started");
      } else {
        problem(where + ": not a name record that the setup can read");
      }
      break;
    default: warning(where + ": a tag the setup does not use");
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
    // The wizard's reading (wizard/package_facts.h): up to the NUL or the end of the body.
    std::string text = recordText(*body);
    checkNameLayout(entryName(i), *body, text);
    p_.releaseEntry(i);
    (tag == kTagAppName ? appName_ : defaultParent_) = std::move(text);
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
            "first: " +
            firstStored_ + ")");
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
