#include "tools/examine/setup_listing.h"

#include "install/directory_walk.h"
#include "package/held_entry.h"
#include "install/records.h"
#include "wizard/package_facts.h"

namespace zorv {

namespace {

ListedFile listedFile(const CopyRecord& file) {
  ListedFile f{std::string(file.name)};
  for (std::uint32_t b = 0; b < file.blocks.size(); ++b) {
    const PackedRange r = file.blocks[b].range;
    f.size += r.unpacked;
    f.packed += r.packed;
  }
  return f;
}

struct ListingVisitor {
  SetupListing& listing;
  bool folder(const DirectoryRecord&, int) { return true; }
  bool file(const CopyRecord& f) {
    listing.files.push_back(listedFile(f));
    return true;
  }
};

// Nothing, or why the run would stop.
using Listed = std::expected<void, std::string>;

// Calls read(body, i) for every entry i of `tag` in [from, to); stops at the first entry whose
// body cannot be read or whose record `read` refuses, with the reason
// "entry N ("Tag") <problem>".
template <typename Read>
Listed readEntries(Package& package, std::uint32_t tag, std::int32_t from, std::int32_t to,
                   Read&& read, std::string_view problem = "cannot be read") {
  std::int32_t refused = -1;
  forEachEntry(package, tag, from, to, [&](std::int32_t i) {
    const HeldEntry held(package, i);
    if (held.body() && read(*held.body(), i)) return true;
    refused = i;
    return false;
  });
  if (refused < 0) return {};
  return std::unexpected("entry " + std::to_string(refused) + " (\"" + tagText(tag) + "\") " +
                         std::string(problem));
}

// The files in the order the run writes them, within one walk of the package as the run's.
Listed listFiles(Package& package, SetupListing& listing) {
  PackageWalk walk;
  const auto readFile = [&](std::span<const std::uint8_t> body, std::int32_t i) {
    std::optional<CopyRecord> file;
    if (enterEntry(package, i, walk)) file = parseCopyRecord(body);
    if (file) listing.files.push_back(listedFile(*file));
    return file.has_value();
  };
  if (Listed files = readEntries(package, kTagCopy, 0, -1, readFile); !files) return files;
  ListingVisitor visitor{listing};
  const auto walkFolder = [&](std::span<const std::uint8_t> body, std::int32_t i) {
    if (!enterEntry(package, i, walk)) return false;
    const std::optional<DirectoryRecord> dir = parseDirectoryRecord(body);
    return dir && walkMembers(package, *dir, 1, walk, visitor);
  };
  static const std::string kWalkProblem =
      "cannot be walked: a record cannot be read or is reached a second time, the folder nests "
      "more than " +
      std::to_string(kMaxDirectoryDepth) +
      " levels deep, or the package holds "
      "more than " +
      std::to_string(kMaxRecordsVisited) + " records, as the setup would find too";
  return readEntries(package, kTagCopyDir, 0, -1, walkFolder, kWalkProblem);
}

Listed listLinks(Package& package, SetupListing& listing) {
  for (const std::uint32_t tag : {kTagGroupLink, kTagDesktopLink}) {
    const auto readLink = [&](std::span<const std::uint8_t> b, std::int32_t) {
      const std::optional<LinkRecord> link = parseLinkRecord(b);
      if (link)
        listing.links.push_back(
            {tag == kTagDesktopLink, std::string(link->link), std::string(link->target)});
      return link.has_value();
    };
    if (Listed links = readEntries(package, tag, 0, -1, readLink); !links) return links;
  }
  return {};
}

// Only the first "root" record counts; the second one only ends its list of values.
Listed listRegistry(Package& package, SetupListing& listing) {
  const std::int32_t root = package.findByTag(kTagRoot, 0, -1);
  if (root < 0) return {};
  const std::int32_t next = package.findByTag(kTagRoot, root + 1, -1);
  const auto readRoot = [&](std::span<const std::uint8_t> b, std::int32_t) {
    const std::optional<RootRecord> r = parseRootRecord(b);
    if (r) {
      listing.keyRoot = std::string(r->root);
      listing.keyPath = std::string(r->keyPath);
    }
    return r.has_value();
  };
  if (Listed key = readEntries(package, kTagRoot, root, root + 1, readRoot); !key) return key;
  // The run passes over a value it cannot read, and so does the listing.
  forEachEntry(package, kTagValue, root, next, [&](std::int32_t i) {
    const HeldEntry held(package, i);
    std::optional<ValueRecord> v;
    if (held.body()) v = parseValueRecord(*held.body());
    if (v)
      listing.values.push_back({std::string(v->name), std::string(v->type), std::string(v->data)});
    return true;
  });
  return {};
}

// The first record of `tag` through `parse`; none when there is none or it cannot be read, as
// the run then starts or registers nothing.
template <typename Parse>
std::optional<std::string> firstText(Package& package, std::uint32_t tag, Parse parse) {
  const std::int32_t i = package.findByTag(tag, 0, -1);
  if (i < 0) return std::nullopt;
  const HeldEntry held(package, i);
  if (!held.body()) return std::nullopt;
  const auto text = parse(*held.body());
  return text ? std::optional<std::string>(*text) : std::nullopt;
}

// The run skips clean-up lines it cannot read, and so does the listing.
void listCleanup(Package& package, SetupListing& listing) {
  for (const std::uint32_t tag : {kTagDeleteDir, kTagDeleteFile}) {
    auto& list = tag == kTagDeleteDir ? listing.deleteFolders : listing.deleteFiles;
    forEachEntry(package, tag, 0, -1, [&](std::int32_t i) {
      const HeldEntry held(package, i);
      std::optional<std::string_view> name;
      if (held.body()) name = parseNameRecord(*held.body());
      if (name) list.emplace_back(*name);
      return true;
    });
  }
}

}  // namespace

std::expected<SetupListing, std::string> listSetup(Package& package) {
  SetupListing listing;
  if (const auto facts = readPackageFacts(package)) listing.appName = facts->appName;
  for (auto list : {listFiles, listLinks, listRegistry})
    if (Listed listed = list(package, listing); !listed) return std::unexpected(listed.error());
  listing.program = firstText(package, kTagRunProgram, parseNameRecord);
  listing.uninstaller = firstText(package, kTagUninstaller, [](std::span<const std::uint8_t> b) {
    const auto r = parseUninstallerRecord(b);
    return r ? std::optional<std::string_view>(r->program) : std::nullopt;
  });
  listCleanup(package, listing);
  for (const ListedFile& f : listing.files) {
    listing.bytes += f.size;
    listing.packed += f.packed;
  }
  return listing;
}

}  // namespace zorv
