#include "splitter/write/page_set.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

namespace pagerift::splitter {
namespace {

// Explorer goes on counting; a folder holding this many sets of one name is no longer a person's.
constexpr std::size_t kMaxSets = 9999;
// How often a set may find its names taken while it is being put in place before the run gives up.
constexpr int kMaxCommits = 20;

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

}  // namespace

std::string output_stem(std::string_view source_path) {
  std::string name = fs::file_name(std::string(source_path));
  if (name.size() > 4) {
    std::string ext = name.substr(name.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (ext == ".pdf") name.resize(name.size() - 4);
  }
  return name;
}

std::string page_file_name(std::string_view stem, std::size_t page, std::size_t page_count) {
  std::size_t width = std::max<std::size_t>(4, std::to_string(page_count).size());
  std::string number = std::to_string(page);
  if (number.size() < width) number.insert(0, width - number.size(), '0');
  return std::string(stem) + "_pg_" + number + ".pdf";
}

std::string set_stem(std::string_view stem, std::size_t n) {
  return n <= 1 ? std::string(stem) : std::string(stem) + " (" + std::to_string(n) + ")";
}

PageSet::PageSet(std::string dir, std::string stem, std::size_t pages)
    : dir_(std::move(dir)), stem_(std::move(stem)), pages_(pages) {}

PageSet::~PageSet() { discard_temps(); }

void PageSet::discard_temps() {
  for (auto& t : temps_) fs::remove_file(path(t));
  temps_.clear();
}

// One listing of the folder answers for every name, where asking about each name would cost a
// look-up of its own (under Wine, a read of the whole folder for every name that is not there).
bool PageSet::choose_names(std::string& error, std::size_t from) {
  std::vector<std::string> listed;
  if (!fs::list_names(dir_, listed, error)) {
    error = "cannot read the output folder: " + error;
    return false;
  }
  std::unordered_set<std::string> taken;
  for (auto& name : listed) taken.insert(fs::name_key(name));
  std::vector<std::string> names;
  for (std::size_t n = from; n <= kMaxSets; ++n) {
    std::string stem = set_stem(stem_, n);
    names.clear();
    bool free = true;
    for (std::size_t page = 1; page <= pages_ && free; ++page) {
      names.push_back(page_file_name(stem, page, pages_));
      free = !taken.count(fs::name_key(names.back()));
    }
    if (free) {
      names_ = std::move(names);
      set_ = n;
      return true;
    }
  }
  error = "every name for the pages of " + quoted(stem_) + " is taken, up to " +
          quoted(set_stem(stem_, kMaxSets));
  return false;
}

fs::Handle PageSet::create_temp(std::string& error) {
  std::string base =
      "~burst-" + std::to_string(fs::process_id()) + "-" + std::to_string(temps_.size() + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = attempt ? base + "-" + std::to_string(attempt) + ".tmp" : base + ".tmp";
    bool exists = false;
    fs::Handle file = fs::create_new(path(name), exists, error);
    if (file != fs::kNoHandle) {
      temps_.push_back(name);
      return file;
    }
    if (!exists) return fs::kNoHandle;
  }
  error = "no free temporary name";
  return fs::kNoHandle;
}

bool PageSet::commit(std::string& error, const std::function<void()>& renamed) {
  for (int round = 0; round < kMaxCommits; ++round) {
    std::size_t placed = 0;
    bool exists = false;
    while (placed < temps_.size() &&
           fs::rename_new(path(temps_[placed]), path(names_[placed]), exists, error))
      ++placed;
    if (placed == temps_.size()) {
      temps_.clear();
      return true;
    }
    std::string refused = names_[placed];
    if (!take_back(placed) || !exists) {
      error = "cannot put " + quoted(refused) + " in place: " + error;
      return false;
    }
    // Someone took a name after the folder was read: that is their file now.
    if (!choose_names(error, set_ + 1)) return false;
    if (renamed) renamed();
  }
  error = "the names for the pages of " + quoted(stem_) +
          " were taken again and again while they were put in place";
  return false;
}

// Gives the first `placed` pages their temporary names again, so that no page name holds a file of
// a set that is not complete. A page that cannot go back is removed: it is ours, and only ours.
bool PageSet::take_back(std::size_t placed) {
  bool all = true;
  for (std::size_t i = placed; i-- > 0;) {
    bool exists = false;
    std::string ignored;
    if (!fs::rename_new(path(names_[i]), path(temps_[i]), exists, ignored)) {
      fs::remove_file(path(names_[i]));
      all = false;
    }
  }
  return all;
}

}  // namespace pagerift::splitter
