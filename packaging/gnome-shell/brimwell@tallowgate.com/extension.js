// Brimwell's window bridge: the Shell gives no client a window list, so this extension exports
// the few operations Brimwell needs on the session bus. It keeps no state of its own and makes no
// decisions; every check and every choice is made by Brimwell.
'use strict';

const {Clutter, Gio, GLib, Meta, Shell, St} = imports.gi;
const Main = imports.ui.main;

const BUS_NAME = 'com.tallowgate.brimwell.Shell';
const OBJECT_PATH = '/com/tallowgate/brimwell/Shell';
const ERROR = 'com.tallowgate.brimwell.Shell.Error';
const MAX_TYPES = 64;
const MAX_TYPE_LENGTH = 255;
const MAX_BYTES = 10485760;
const MAX_COORDINATE = 100000;

const INTERFACE = `<node>
  <interface name="com.tallowgate.brimwell.Shell">
    <method name="Windows"><arg type="s" direction="out" name="windows"/></method>
    <method name="Place">
      <arg type="t" direction="in" name="id"/>
      <arg type="i" direction="in" name="x"/><arg type="i" direction="in" name="y"/>
      <arg type="i" direction="in" name="width"/><arg type="i" direction="in" name="height"/>
    </method>
    <method name="SetState">
      <arg type="t" direction="in" name="id"/>
      <arg type="b" direction="in" name="minimized"/><arg type="b" direction="in" name="fullScreen"/>
    </method>
    <method name="Activate"><arg type="t" direction="in" name="id"/></method>
    <method name="PressControlS"/>
    <method name="ClipboardTypes"><arg type="as" direction="out" name="types"/></method>
    <method name="ClipboardData">
      <arg type="s" direction="in" name="type"/><arg type="ay" direction="out" name="data"/>
    </method>
    <method name="SetClipboard">
      <arg type="s" direction="in" name="type"/><arg type="ay" direction="in" name="data"/>
    </method>
    <property name="Version" type="u" access="read"/>
  </interface>
</node>`;

// The windows a user sees as windows: no menus, tooltips or the Shell's own surfaces.
function managedWindows() {
    const wanted = [Meta.WindowType.NORMAL, Meta.WindowType.DIALOG, Meta.WindowType.MODAL_DIALOG,
        Meta.WindowType.UTILITY];
    const windows = global.get_window_actors().map(actor => actor.meta_window)
        .filter(w => w && !w.is_override_redirect() && wanted.includes(w.get_window_type()));
    return global.display.sort_windows_by_stacking(windows).reverse();
}

function describe(window, tracker) {
    const frame = window.get_frame_rect();
    const workspace = window.get_workspace();
    const app = tracker.get_window_app(window);
    return {
        id: String(window.get_id()),
        pid: window.get_pid(),
        wmClass: window.get_wm_class() || '',
        app: app && !app.is_window_backed() ? app.get_id() || '' : '',
        title: window.get_title() || '',
        frame: {x: frame.x, y: frame.y, width: frame.width, height: frame.height},
        workspace: workspace && !window.is_on_all_workspaces() ? workspace.index() : -1,
        minimized: window.minimized,
        fullScreen: window.is_fullscreen(),
        focus: window.has_focus(),
    };
}

class Bridge {
    constructor() {
        this._exported = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._exported.export(Gio.DBus.session, OBJECT_PATH);
        this._name = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
        this._keyboard = Clutter.get_default_backend().get_default_seat()
            .create_virtual_device(Clutter.InputDeviceType.KEYBOARD_DEVICE);
    }

    destroy() {
        Gio.bus_unown_name(this._name);
        this._exported.unexport();
        this._keyboard.run_dispose();
    }

    get Version() {
        return 1;
    }

    _window(id, invocation) {
        const window = managedWindows().find(w => String(w.get_id()) === String(id));
        if (!window)
            invocation.return_dbus_error(`${ERROR}.UnknownWindow`, 'No such window is open.');
        return window;
    }

    WindowsAsync(params, invocation) {
        const tracker = Shell.WindowTracker.get_default();
        const windows = managedWindows().map(w => describe(w, tracker));
        invocation.return_value(new GLib.Variant('(s)', [JSON.stringify({windows})]));
    }

    PlaceAsync([id, x, y, width, height], invocation) {
        const inRange = v => Math.abs(v) <= MAX_COORDINATE;
        if (![x, y, width, height].every(inRange) || width <= 0 || height <= 0) {
            invocation.return_dbus_error(`${ERROR}.BadFrame`, 'The frame is out of range.');
            return;
        }
        const window = this._window(id, invocation);
        if (!window)
            return;
        if (window.is_fullscreen())
            window.unmake_fullscreen();
        if (window.get_maximized())
            window.unmaximize(Meta.MaximizeFlags.BOTH);
        window.move_resize_frame(true, x, y, width, height);
        invocation.return_value(null);
    }

    SetStateAsync([id, minimized, fullScreen], invocation) {
        const window = this._window(id, invocation);
        if (!window)
            return;
        if (fullScreen && !window.is_fullscreen())
            window.make_fullscreen();
        else if (!fullScreen && window.is_fullscreen())
            window.unmake_fullscreen();
        if (minimized && !window.minimized)
            window.minimize();
        invocation.return_value(null);
    }

    // The overview, where the Shell starts, hides as a window comes to the front, and keys pressed
    // before it has gone would reach it: the answer waits until it has (a second at most).
    ActivateAsync([id], invocation) {
        const window = this._window(id, invocation);
        if (!window)
            return;
        const time = global.display.get_current_time_roundtrip();
        if (!Main.overview.visible) {
            Main.activateWindow(window, time);
            invocation.return_value(null);
            return;
        }
        let timeout = 0;
        const hidden = Main.overview.connect('hidden', () => answer());
        const answer = () => {
            Main.overview.disconnect(hidden);
            if (timeout)
                GLib.source_remove(timeout);
            invocation.return_value(null);
        };
        timeout = GLib.timeout_add(GLib.PRIORITY_DEFAULT, 1000, () => {
            timeout = 0;
            answer();
            return GLib.SOURCE_REMOVE;
        });
        Main.activateWindow(window, time);
    }

    PressControlSAsync(params, invocation) {
        const time = GLib.get_monotonic_time();
        const press = (key, state, step) => this._keyboard.notify_keyval(time + step, key, state);
        press(Clutter.KEY_Control_L, Clutter.KeyState.PRESSED, 0);
        press(Clutter.KEY_s, Clutter.KeyState.PRESSED, 1);
        press(Clutter.KEY_s, Clutter.KeyState.RELEASED, 2);
        press(Clutter.KEY_Control_L, Clutter.KeyState.RELEASED, 3);
        invocation.return_value(null);
    }

    ClipboardTypesAsync(params, invocation) {
        const types = St.Clipboard.get_default().get_mimetypes(St.ClipboardType.CLIPBOARD) || [];
        invocation.return_value(new GLib.Variant('(as)', [types.slice(0, MAX_TYPES)]));
    }

    ClipboardDataAsync([type], invocation) {
        St.Clipboard.get_default().get_content(St.ClipboardType.CLIPBOARD, type, (clipboard, bytes) => {
            const size = bytes ? bytes.get_size() : 0;
            if (size > MAX_BYTES) {
                invocation.return_dbus_error(`${ERROR}.TooLarge`, 'The clipboard holds too much.');
                return;
            }
            const data = size > 0 ? bytes.toArray() : new Uint8Array(0);
            invocation.return_value(new GLib.Variant('(ay)', [data]));
        });
    }

    // The Shell's selection sources, as a script can make them, offer one type each.
    SetClipboardAsync([type, data], invocation) {
        if (type.length === 0 || type.length > MAX_TYPE_LENGTH || data.length > MAX_BYTES) {
            invocation.return_dbus_error(`${ERROR}.TooLarge`, 'The clipboard is too large.');
            return;
        }
        const source = Meta.SelectionSourceMemory.new(type, new GLib.Bytes(data));
        global.display.get_selection().set_owner(Meta.SelectionType.SELECTION_CLIPBOARD, source);
        invocation.return_value(null);
    }
}

class Extension {
    enable() {
        this._bridge = new Bridge();
    }

    disable() {
        this._bridge.destroy();
        this._bridge = null;
    }
}

function init() {
    return new Extension();
}
