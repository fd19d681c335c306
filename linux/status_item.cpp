#include "linux/status_item.h"

#include <unistd.h>

#include <algorithm>
#include <asio/post.hpp>
#include <cerrno>
#include <set>

namespace brimwell {
namespace {

// At most this many property names are heeded in one request; the rest are read past.
constexpr std::size_t nameLimit = 32;

using Names = std::set<std::string>;

// Reads an array of strings into a set of at most `nameLimit` of them.
int readNames(sd_bus_message* message, Names& names) {
  int r = sd_bus_message_enter_container(message, 'a', "s");
  if (r < 0) return r;
  const char* name = nullptr;
  while ((r = sd_bus_message_read_basic(message, 's', &name)) > 0) {
    if (names.size() < nameLimit) names.insert(name);
  }
  if (r < 0) return r;
  return sd_bus_message_exit_container(message);
}

bool wanted(const Names& names, const char* name) { return names.empty() || names.count(name); }

int appendString(sd_bus_message* m, const char* key, const std::string& value) {
  int r = 0;
  if ((r = sd_bus_message_open_container(m, 'e', "sv")) < 0 ||
      (r = sd_bus_message_append(m, "sv", key, "s", value.c_str())) < 0) {
    return r;
  }
  return sd_bus_message_close_container(m);
}

int appendBool(sd_bus_message* m, const char* key, bool value) {
  int r = 0;
  if ((r = sd_bus_message_open_container(m, 'e', "sv")) < 0 ||
      (r = sd_bus_message_append(m, "sv", key, "b", int(value))) < 0) {
    return r;
  }
  return sd_bus_message_close_container(m);
}

bool isSeparator(const StatusMenuEntry& entry) {
  return entry.id != 0 && entry.label.empty() && entry.children.empty();
}

// The entry's dbusmenu properties (only those in `names`, when any are named) as an a{sv}.
int appendProperties(sd_bus_message* m, const StatusMenuEntry& entry, const Names& names) {
  int r = sd_bus_message_open_container(m, 'a', "{sv}");
  if (r < 0) return r;
  if (isSeparator(entry)) {
    if (wanted(names, "type") && (r = appendString(m, "type", "separator")) < 0) return r;
  } else if (entry.id != 0) {
    // A single underscore marks a mnemonic in dbusmenu labels; a doubled one is an underscore.
    std::string label;
    for (char c : entry.label) label += c == '_' ? std::string("__") : std::string(1, c);
    if (wanted(names, "label") && (r = appendString(m, "label", label)) < 0) return r;
    if (wanted(names, "enabled") && (r = appendBool(m, "enabled", entry.enabled)) < 0) return r;
  }
  if ((entry.id == 0 || !entry.children.empty()) && wanted(names, "children-display") &&
      (r = appendString(m, "children-display", "submenu")) < 0) {
    return r;
  }
  return sd_bus_message_close_container(m);
}

// One layout node, (ia{sv}av), with `depth` levels of children (-1: all).
int appendNode(sd_bus_message* m, const StatusMenuEntry& entry, int depth, const Names& names) {
  int r = 0;
  if ((r = sd_bus_message_open_container(m, 'r', "ia{sv}av")) < 0 ||
      (r = sd_bus_message_append(m, "i", entry.id)) < 0 ||
      (r = appendProperties(m, entry, names)) < 0 ||
      (r = sd_bus_message_open_container(m, 'a', "v")) < 0) {
    return r;
  }
  if (depth != 0) {
    for (const StatusMenuEntry& child : entry.children) {
      if ((r = sd_bus_message_open_container(m, 'v', "(ia{sv}av)")) < 0 ||
          (r = appendNode(m, child, depth < 0 ? -1 : depth - 1, names)) < 0 ||
          (r = sd_bus_message_close_container(m)) < 0) {
        return r;
      }
    }
  }
  if ((r = sd_bus_message_close_container(m)) < 0) return r;
  return sd_bus_message_close_container(m);
}

int appendEmptyPixmaps(sd_bus_message* m) {
  const int r = sd_bus_message_open_container(m, 'a', "(iiay)");
  return r < 0 ? r : sd_bus_message_close_container(m);
}

int sendReply(SdBusMessage& reply, int built) {
  if (built < 0) return built;
  return sd_bus_message_send(reply.get());
}

StatusItem& self(void* userdata) { return *static_cast<StatusItem*>(userdata); }

}  // namespace

const sd_bus_vtable StatusItem::itemVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Category", "s", itemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Id", "s", itemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Title", "s", itemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Status", "s", itemProperty, 0, 0),
    SD_BUS_PROPERTY("WindowId", "i", itemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconThemePath", "s", itemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconName", "s", itemProperty, 0, 0),
    SD_BUS_PROPERTY("IconPixmap", "a(iiay)", itemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("OverlayIconName", "s", itemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("OverlayIconPixmap", "a(iiay)", itemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AttentionIconName", "s", itemProperty, 0, 0),
    SD_BUS_PROPERTY("AttentionIconPixmap", "a(iiay)", itemProperty, 0,
                    SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("AttentionMovieName", "s", itemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", itemProperty, 0, 0),
    SD_BUS_PROPERTY("ItemIsMenu", "b", itemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Menu", "o", itemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    // The item is a menu: a click anywhere shows the menu, which the host draws itself.
    SD_BUS_METHOD("ContextMenu", "ii", "", ignore, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Activate", "ii", "", ignore, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SecondaryActivate", "ii", "", ignore, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Scroll", "is", "", ignore, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("NewTitle", "", 0),
    SD_BUS_SIGNAL("NewIcon", "", 0),
    SD_BUS_SIGNAL("NewAttentionIcon", "", 0),
    SD_BUS_SIGNAL("NewOverlayIcon", "", 0),
    SD_BUS_SIGNAL("NewToolTip", "", 0),
    SD_BUS_SIGNAL("NewStatus", "s", 0),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable StatusItem::menuVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Version", "u", menuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("TextDirection", "s", menuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Status", "s", menuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconThemePath", "as", menuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("GetLayout", "iias", "u(ia{sv}av)", getLayout, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetGroupProperties", "aias", "a(ia{sv})", getGroupProperties,
                  SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("GetProperty", "is", "v", getProperty, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Event", "isvu", "", event, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("EventGroup", "a(isvu)", "ai", eventGroup, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("AboutToShow", "i", "b", aboutToShow, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("AboutToShowGroup", "ai", "aiai", aboutToShowGroup, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("ItemsPropertiesUpdated", "a(ia{sv})a(ias)", 0),
    SD_BUS_SIGNAL("LayoutUpdated", "ui", 0),
    SD_BUS_SIGNAL("ItemActivationRequested", "iu", 0),
    SD_BUS_VTABLE_END,
};

std::shared_ptr<StatusItem> StatusItem::create(asio::io_context& context,
                                               std::shared_ptr<BusConnection> session,
                                               RequestHandler onRequest) {
  return std::shared_ptr<StatusItem>(
      new StatusItem(context, std::move(session), std::move(onRequest)));
}

StatusItem::StatusItem(asio::io_context& context, std::shared_ptr<BusConnection> session,
                       RequestHandler onRequest)
    : context_(context),
      session_(std::move(session)),
      onRequest_(std::move(onRequest)),
      busName_("org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-1"),
      menu_(statusMenu({}, TimeZone::utc())) {}

StatusItem::~StatusItem() = default;

Status StatusItem::start() {
  sd_bus* bus = session_->get();
  sd_bus_slot* slot = nullptr;
  int r = sd_bus_add_object_vtable(bus, &slot, itemPath, "org.kde.StatusNotifierItem", itemVtable,
                                   this);
  if (r < 0) return fail("The status icon can't be offered on the session bus.");
  itemSlot_.reset(slot);
  r = sd_bus_add_object_vtable(bus, &slot, menuPath, "com.canonical.dbusmenu", menuVtable, this);
  if (r < 0) return fail("The status icon's menu can't be offered on the session bus.");
  menuSlot_.reset(slot);

  // A watcher that appears later (a panel started after us, or started again) hears of us then.
  watcherSlot_ =
      session_->subscribe("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                          "NameOwnerChanged", [weak = weak_from_this()](sd_bus_message* message) {
                            const char* name = nullptr;
                            const char* from = nullptr;
                            const char* to = nullptr;
                            if (sd_bus_message_read(message, "sss", &name, &from, &to) < 0) return;
                            if (std::string_view(name) != watcherName || *to == '\0') return;
                            if (auto item = weak.lock()) item->registerWithWatcher();
                          });

  auto request = session_->newCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "RequestName");
  // 4: fail at once rather than queue when the name is taken.
  if (request && sd_bus_message_append(request.get(), "su", busName_.c_str(), 4u) < 0) {
    request.reset();
  }
  session_->call(std::move(request), [weak = weak_from_this()](Result<sd_bus_message*> reply) {
    auto item = weak.lock();
    if (!item) return;
    std::uint32_t answer = 0;
    // 1: we are the name's primary owner. Otherwise the item goes by its unique name.
    if (!reply || sd_bus_message_read(*reply, "u", &answer) < 0 || answer != 1) {
      const char* unique = nullptr;
      if (sd_bus_get_unique_name(item->session_->get(), &unique) >= 0) item->busName_ = unique;
    }
    item->registerWithWatcher();
  });
  return {};
}

void StatusItem::registerWithWatcher() {
  auto call = session_->newCall(watcherName, "/StatusNotifierWatcher", watcherName,
                                "RegisterStatusNotifierItem");
  if (call && sd_bus_message_append(call.get(), "s", busName_.c_str()) < 0) call.reset();
  // No watcher yet is no fault: the item waits for one to appear.
  session_->call(std::move(call), [](Result<sd_bus_message*>) {});
}

void StatusItem::emit(const char* path, const char* interface, const char* member) {
  sd_bus_emit_signal(session_->get(), path, interface, member, "");
}

void StatusItem::show(const StatusItemLook& look) {
  if (look == look_) return;
  const StatusItemLook before = std::exchange(look_, look);
  if (!itemSlot_) return;
  constexpr const char* interface = "org.kde.StatusNotifierItem";
  if (before.iconName != look.iconName) {
    emit(itemPath, interface, "NewIcon");
    emit(itemPath, interface, "NewAttentionIcon");
  }
  if (before.title != look.title || before.text != look.text) {
    emit(itemPath, interface, "NewToolTip");
  }
  if (before.status != look.status) {
    sd_bus_emit_signal(session_->get(), itemPath, interface, "NewStatus", "s", look.status.c_str());
  }
  session_->wake();
}

void StatusItem::offer(std::vector<StatusMenuEntry> menu) {
  if (menu == menu_) return;
  menu_ = std::move(menu);
  ++revision_;
  if (!menuSlot_) return;
  sd_bus_emit_signal(session_->get(), menuPath, "com.canonical.dbusmenu", "LayoutUpdated", "ui",
                     revision_, 0);
  session_->wake();
}

bool StatusItem::click(int id) {
  if (id != 0 && findStatusMenuEntry(menu_, id) == nullptr) return false;
  if (auto request = statusRequest(menu_, id)) {
    asio::post(context_, [weak = weak_from_this(), request = *request] {
      if (auto item = weak.lock(); item && item->onRequest_) item->onRequest_(request);
    });
  }
  return true;
}

int StatusItem::itemProperty(sd_bus*, const char*, const char*, const char* property,
                             sd_bus_message* reply, void* userdata, sd_bus_error*) {
  const StatusItem& item = self(userdata);
  const std::string_view name = property;
  if (name == "Category") return sd_bus_message_append(reply, "s", "ApplicationStatus");
  if (name == "Id") return sd_bus_message_append(reply, "s", "brimwell");
  if (name == "Title") return sd_bus_message_append(reply, "s", "Brimwell");
  if (name == "Status") return sd_bus_message_append(reply, "s", item.look_.status.c_str());
  if (name == "WindowId") return sd_bus_message_append(reply, "i", 0);
  if (name == "IconName" || name == "AttentionIconName") {
    return sd_bus_message_append(reply, "s", item.look_.iconName.c_str());
  }
  if (name == "IconThemePath" || name == "OverlayIconName" || name == "AttentionMovieName") {
    return sd_bus_message_append(reply, "s", "");
  }
  if (name == "ItemIsMenu") return sd_bus_message_append(reply, "b", 1);
  if (name == "Menu") return sd_bus_message_append(reply, "o", menuPath);
  if (name == "ToolTip") {
    int r = 0;
    if ((r = sd_bus_message_open_container(reply, 'r', "sa(iiay)ss")) < 0 ||
        (r = sd_bus_message_append(reply, "s", item.look_.iconName.c_str())) < 0 ||
        (r = appendEmptyPixmaps(reply)) < 0 ||
        (r = sd_bus_message_append(reply, "ss", item.look_.title.c_str(),
                                   item.look_.text.c_str())) < 0) {
      return r;
    }
    return sd_bus_message_close_container(reply);
  }
  return appendEmptyPixmaps(reply);  // the three pixmaps: the icons go by name
}

int StatusItem::menuProperty(sd_bus*, const char*, const char*, const char* property,
                             sd_bus_message* reply, void*, sd_bus_error*) {
  const std::string_view name = property;
  if (name == "Version") return sd_bus_message_append(reply, "u", 3u);
  if (name == "TextDirection") return sd_bus_message_append(reply, "s", "ltr");
  if (name == "Status") return sd_bus_message_append(reply, "s", "normal");
  return sd_bus_message_append(reply, "as", 0);
}

int StatusItem::ignore(sd_bus_message* call, void*, sd_bus_error*) {
  return sd_bus_reply_method_return(call, "");
}

int StatusItem::getLayout(sd_bus_message* call, void* userdata, sd_bus_error* error) {
  const StatusItem& item = self(userdata);
  std::int32_t parent = 0;
  std::int32_t depth = -1;
  Names names;
  int r = sd_bus_message_read(call, "ii", &parent, &depth);
  if (r < 0 || (r = readNames(call, names)) < 0) return r;
  const StatusMenuEntry root{.id = 0, .children = item.menu_};
  const StatusMenuEntry* node = parent == 0 ? &root : findStatusMenuEntry(item.menu_, parent);
  if (node == nullptr) {
    return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "There is no menu entry %d.",
                             int(parent));
  }
  sd_bus_message* raw = nullptr;
  if ((r = sd_bus_message_new_method_return(call, &raw)) < 0) return r;
  SdBusMessage reply(raw);
  r = sd_bus_message_append(reply.get(), "u", item.revision_);
  if (r >= 0) r = appendNode(reply.get(), *node, depth < 0 ? -1 : depth, names);
  return sendReply(reply, r);
}

int StatusItem::getGroupProperties(sd_bus_message* call, void* userdata, sd_bus_error*) {
  const StatusItem& item = self(userdata);
  const void* ids = nullptr;
  std::size_t size = 0;
  Names names;
  int r = sd_bus_message_read_array(call, 'i', &ids, &size);
  if (r < 0 || (r = readNames(call, names)) < 0) return r;
  const auto* first = static_cast<const std::int32_t*>(ids);
  std::vector<const StatusMenuEntry*> entries;
  for (std::size_t i = 0; i < size / sizeof(std::int32_t); ++i) {
    if (const StatusMenuEntry* entry = findStatusMenuEntry(item.menu_, first[i])) {
      entries.push_back(entry);
    }
  }
  sd_bus_message* raw = nullptr;
  if ((r = sd_bus_message_new_method_return(call, &raw)) < 0) return r;
  SdBusMessage reply(raw);
  r = sd_bus_message_open_container(reply.get(), 'a', "(ia{sv})");
  for (const StatusMenuEntry* entry : entries) {
    if (r >= 0) r = sd_bus_message_open_container(reply.get(), 'r', "ia{sv}");
    if (r >= 0) r = sd_bus_message_append(reply.get(), "i", entry->id);
    if (r >= 0) r = appendProperties(reply.get(), *entry, names);
    if (r >= 0) r = sd_bus_message_close_container(reply.get());
  }
  if (r >= 0) r = sd_bus_message_close_container(reply.get());
  return sendReply(reply, r);
}

int StatusItem::getProperty(sd_bus_message* call, void* userdata, sd_bus_error* error) {
  const StatusItem& item = self(userdata);
  std::int32_t id = 0;
  const char* name = nullptr;
  int r = sd_bus_message_read(call, "is", &id, &name);
  if (r < 0) return r;
  const StatusMenuEntry* entry = findStatusMenuEntry(item.menu_, id);
  if (entry == nullptr) {
    return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "There is no menu entry %d.",
                             int(id));
  }
  const std::string_view wantedName = name;
  sd_bus_message* raw = nullptr;
  if ((r = sd_bus_message_new_method_return(call, &raw)) < 0) return r;
  SdBusMessage reply(raw);
  if (wantedName == "label" && !isSeparator(*entry)) {
    r = sd_bus_message_append(reply.get(), "v", "s", entry->label.c_str());
  } else if (wantedName == "enabled" && !isSeparator(*entry)) {
    r = sd_bus_message_append(reply.get(), "v", "b", int(entry->enabled));
  } else if (wantedName == "type" && isSeparator(*entry)) {
    r = sd_bus_message_append(reply.get(), "v", "s", "separator");
  } else if (wantedName == "children-display" && !entry->children.empty()) {
    r = sd_bus_message_append(reply.get(), "v", "s", "submenu");
  } else {
    return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "Menu entry %d has no property %s.",
                             int(id), name);
  }
  return sendReply(reply, r);
}

int StatusItem::event(sd_bus_message* call, void* userdata, sd_bus_error* error) {
  StatusItem& item = self(userdata);
  std::int32_t id = 0;
  const char* kind = nullptr;
  int r = sd_bus_message_read(call, "is", &id, &kind);
  if (r < 0 || (r = sd_bus_message_skip(call, "vu")) < 0) return r;
  const bool known = std::string_view(kind) == "clicked"
                         ? item.click(id)
                         : id == 0 || findStatusMenuEntry(item.menu_, id) != nullptr;
  if (!known) {
    return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "There is no menu entry %d.",
                             int(id));
  }
  return sd_bus_reply_method_return(call, "");
}

int StatusItem::eventGroup(sd_bus_message* call, void* userdata, sd_bus_error*) {
  StatusItem& item = self(userdata);
  std::vector<std::int32_t> unknown;
  int r = sd_bus_message_enter_container(call, 'a', "(isvu)");
  if (r < 0) return r;
  while ((r = sd_bus_message_enter_container(call, 'r', "isvu")) > 0) {
    std::int32_t id = 0;
    const char* kind = nullptr;
    if ((r = sd_bus_message_read(call, "is", &id, &kind)) < 0 ||
        (r = sd_bus_message_skip(call, "vu")) < 0 ||
        (r = sd_bus_message_exit_container(call)) < 0) {
      return r;
    }
    const bool known = std::string_view(kind) == "clicked"
                           ? item.click(id)
                           : id == 0 || findStatusMenuEntry(item.menu_, id) != nullptr;
    if (!known) unknown.push_back(id);
  }
  if (r < 0 || (r = sd_bus_message_exit_container(call)) < 0) return r;
  sd_bus_message* raw = nullptr;
  if ((r = sd_bus_message_new_method_return(call, &raw)) < 0) return r;
  SdBusMessage reply(raw);
  r = sd_bus_message_append_array(reply.get(), 'i', unknown.data(),
                                  unknown.size() * sizeof(std::int32_t));
  return sendReply(reply, r);
}

int StatusItem::aboutToShow(sd_bus_message* call, void*, sd_bus_error*) {
  // The layout is always current: hosts are told of every change as it happens.
  return sd_bus_reply_method_return(call, "b", 0);
}

int StatusItem::aboutToShowGroup(sd_bus_message* call, void* userdata, sd_bus_error*) {
  const StatusItem& item = self(userdata);
  const void* ids = nullptr;
  std::size_t size = 0;
  int r = sd_bus_message_read_array(call, 'i', &ids, &size);
  if (r < 0) return r;
  const auto* first = static_cast<const std::int32_t*>(ids);
  std::vector<std::int32_t> unknown;
  for (std::size_t i = 0; i < size / sizeof(std::int32_t); ++i) {
    if (first[i] != 0 && findStatusMenuEntry(item.menu_, first[i]) == nullptr) {
      unknown.push_back(first[i]);
    }
  }
  sd_bus_message* raw = nullptr;
  if ((r = sd_bus_message_new_method_return(call, &raw)) < 0) return r;
  SdBusMessage reply(raw);
  r = sd_bus_message_append_array(reply.get(), 'i', nullptr, 0);
  if (r >= 0) {
    r = sd_bus_message_append_array(reply.get(), 'i', unknown.data(),
                                    unknown.size() * sizeof(std::int32_t));
  }
  return sendReply(reply, r);
}

}  // namespace brimwell
