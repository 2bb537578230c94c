// The bridge between the companion's watcher and the update run in the
// library it loaded: a table of plain functions in each direction.
#include "platform/dynamic_library.h"
#include "update/update_observer.h"

namespace {

// The companion's table seen as an observer.
class WatcherObserver : public IUpdateObserver {
 public:
  explicit WatcherObserver(const KorvanUpdateWatcherTable& table) : table_(table) {}
  void Downloading(const std::string& name, int index, int count) override {
    table_.downloading(table_.context, name.c_str(), index, count);
  }
  void Received(std::uint64_t received, std::int64_t total) override {
    table_.received(table_.context, received, total);
  }
  void Retrying(int seconds) override { table_.retrying(table_.context, seconds); }
  void Installing(const std::string& name) override {
    table_.installing(table_.context, name.c_str());
  }
  bool Cancelled() override { return table_.cancelled(table_.context) != 0; }
  void Finished() override { table_.finished(table_.context); }

 private:
  const KorvanUpdateWatcherTable table_;
};

// No exception leaves a table's function: it may be called from another
// module.
template <typename Call>
void Guarded(void* context, Call call) {
  try {
    call(*static_cast<IUpdateObserver*>(context));
  } catch (...) {
  }
}

}  // namespace

std::unique_ptr<IUpdateObserver> ProgramUpdateObserver() {
  const auto find = reinterpret_cast<KorvanUpdateWatcherFunction>(
      platform::FindProgramExport(kUpdateWatcherExport));
  const KorvanUpdateWatcherTable* table = find != nullptr ? find() : nullptr;
  // A table of an older layout than this one is not used.
  if (table == nullptr || table->size < sizeof(KorvanUpdateWatcherTable)) return nullptr;
  return std::make_unique<WatcherObserver>(*table);
}

KorvanUpdateWatcherTable WatcherTableFor(IUpdateObserver* observer) {
  KorvanUpdateWatcherTable table{};
  table.size = sizeof table;
  table.context = observer;
  table.downloading = [](void* context, const char* name, std::int32_t index, std::int32_t count) {
    Guarded(context, [&](IUpdateObserver& o) { o.Downloading(name, index, count); });
  };
  table.received = [](void* context, std::uint64_t received, std::int64_t total) {
    Guarded(context, [&](IUpdateObserver& o) { o.Received(received, total); });
  };
  table.retrying = [](void* context, std::int32_t seconds) {
    Guarded(context, [&](IUpdateObserver& o) { o.Retrying(seconds); });
  };
  table.installing = [](void* context, const char* name) {
    Guarded(context, [&](IUpdateObserver& o) { o.Installing(name); });
  };
  table.cancelled = [](void* context) -> std::int32_t {
    std::int32_t cancelled = 0;
    Guarded(context, [&](IUpdateObserver& o) { cancelled = o.Cancelled() ? 1 : 0; });
    return cancelled;
  };
  table.finished = [](void* context) {
    Guarded(context, [](IUpdateObserver& o) { o.Finished(); });
  };
  return table;
}
