// StatusItem: the status icon on the session bus, an org.kde.StatusNotifierItem at
// /StatusNotifierItem with its menu as com.canonical.dbusmenu at /MenuBar, under the name
// org.kde.StatusNotifierItem-<pid>-1. It registers with org.kde.StatusNotifierWatcher whenever a
// watcher is on the bus (again each time one appears); without one it waits and nothing breaks.
// Event-loop thread only: every call comes on the bus connection's thread. Owned through a
// std::shared_ptr; the exported objects go away with it.
#pragma once

#include <asio/io_context.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "brimwell/core/base/error.h"
#include "linux/bus_connection.h"
#include "linux/sd_bus_ptr.h"
#include "linux/status_item_model.h"

namespace brimwell {

class StatusItem : public std::enable_shared_from_this<StatusItem> {
 public:
  using RequestHandler = std::function<void(const StatusRequest&)>;

  static constexpr const char* itemPath = "/StatusNotifierItem";
  static constexpr const char* menuPath = "/MenuBar";
  static constexpr const char* watcherName = "org.kde.StatusNotifierWatcher";

  // Each click on an enabled entry reaches `onRequest` on the context, after the click's reply.
  static std::shared_ptr<StatusItem> create(asio::io_context& context,
                                            std::shared_ptr<BusConnection> session,
                                            RequestHandler onRequest);
  ~StatusItem();
  StatusItem(const StatusItem&) = delete;
  StatusItem& operator=(const StatusItem&) = delete;

  // Exports the item and its menu, asks for its name and registers with the watcher when there
  // is one. Fails with one sentence when the bus refuses the objects.
  Status start();
  // Shows `look`, telling hosts of what changed (NewIcon, NewToolTip, NewStatus).
  void show(const StatusItemLook& look);
  // Offers `menu`, telling hosts of the new layout (LayoutUpdated) when it differs.
  void offer(std::vector<StatusMenuEntry> menu);
  // The bus name the item registers under.
  const std::string& busName() const { return busName_; }

 private:
  StatusItem(asio::io_context& context, std::shared_ptr<BusConnection> session,
             RequestHandler onRequest);
  void registerWithWatcher();
  void emit(const char* path, const char* interface, const char* member);
  bool click(int id);

  // sd-bus callbacks; `userdata` is the StatusItem.
  static int itemProperty(sd_bus*, const char*, const char*, const char* property,
                          sd_bus_message* reply, void* userdata, sd_bus_error*);
  static int menuProperty(sd_bus*, const char*, const char*, const char* property,
                          sd_bus_message* reply, void* userdata, sd_bus_error*);
  static int ignore(sd_bus_message* call, void*, sd_bus_error*);
  static int getLayout(sd_bus_message* call, void* userdata, sd_bus_error* error);
  static int getGroupProperties(sd_bus_message* call, void* userdata, sd_bus_error* error);
  static int getProperty(sd_bus_message* call, void* userdata, sd_bus_error* error);
  static int event(sd_bus_message* call, void* userdata, sd_bus_error* error);
  static int eventGroup(sd_bus_message* call, void* userdata, sd_bus_error* error);
  static int aboutToShow(sd_bus_message* call, void* userdata, sd_bus_error* error);
  static int aboutToShowGroup(sd_bus_message* call, void* userdata, sd_bus_error* error);
  static const sd_bus_vtable itemVtable[];
  static const sd_bus_vtable menuVtable[];

  asio::io_context& context_;
  std::shared_ptr<BusConnection> session_;
  RequestHandler onRequest_;
  std::string busName_;
  StatusItemLook look_;
  std::vector<StatusMenuEntry> menu_;
  std::uint32_t revision_ = 1;
  SdBusSlot itemSlot_;
  SdBusSlot menuSlot_;
  SdBusSlot watcherSlot_;
};

}  // namespace brimwell
