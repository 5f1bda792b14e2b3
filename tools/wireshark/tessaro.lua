-- Wireshark dissector for the Tessaro remote protocol: command datagrams from a controller
-- (UDP 31773) and status and text datagrams from the player (UDP 31772). All integers are
-- little-endian; the ports are preferences, as a show network may use others.
--
-- Load it with  tshark -X lua_script:tessaro.lua ...  or put it into Wireshark's plugin folder.

local tessaro = Proto("tessaro", "Tessaro Remote Protocol")

local COMMAND_SIZE = 548
local MESSAGE_SIZE = 540
local COMMAND_MAGIC = "WTRX"
local MESSAGE_MAGIC = "KAVO"

local players = { [0] = "Player A", [1] = "Player B" }
local commands = {
    [3] = "Play", [4] = "Stop", [5] = "Pause", [10] = "Open", [11] = "Seek",
    [12] = "Unhandled (12)", [13] = "Volume", [16] = "Select player",
}
local play_states = { [0] = "Stopped", [1] = "Paused", [2] = "Playing", [3] = "Seeking" }
local message_types = { [0] = "Status", [3] = "Text" }

local f = tessaro.fields
f.kind = ProtoField.string("tessaro.kind", "Datagram kind")
f.magic = ProtoField.string("tessaro.magic", "Magic")
f.player = ProtoField.int32("tessaro.player", "Player", base.DEC, players)
f.command = ProtoField.int32("tessaro.command", "Command", base.DEC, commands)
f.value = ProtoField.int32("tessaro.value", "Value", base.DEC)
f.text = ProtoField.string("tessaro.text", "Text", base.UNICODE)
f.play_state = ProtoField.int32("tessaro.play_state", "Play state", base.DEC, play_states)
f.constant = ProtoField.int32("tessaro.constant", "Constant", base.DEC)
f.type = ProtoField.int32("tessaro.type", "Type", base.DEC, message_types)
f.media_name = ProtoField.string("tessaro.media_name", "Media name", base.UNICODE)
f.duration = ProtoField.int32("tessaro.duration", "Duration (ms)", base.DEC)
f.position = ProtoField.int32("tessaro.position", "Position (ms)", base.DEC)
f.record_play_state = ProtoField.int32("tessaro.record.play_state", "Play state (record)",
                                       base.DEC, play_states)
f.record_media_name = ProtoField.string("tessaro.record.media_name", "Media name (record)",
                                        base.UNICODE)
f.volume = ProtoField.int16("tessaro.volume", "Volume (%)", base.DEC)
f.active_player = ProtoField.int16("tessaro.active_player", "Active player", base.DEC, players)
f.unused = ProtoField.bytes("tessaro.unused", "Unused")

local ef_length = ProtoExpert.new("tessaro.length.bad", "Wrong datagram length",
                                  expert.group.MALFORMED, expert.severity.ERROR)
local ef_magic = ProtoExpert.new("tessaro.magic.bad", "Wrong magic",
                                 expert.group.MALFORMED, expert.severity.ERROR)
local ef_type = ProtoExpert.new("tessaro.type.unknown", "Unknown message type",
                                expert.group.PROTOCOL, expert.severity.WARN)
local ef_truncated = ProtoExpert.new("tessaro.truncated", "Datagram ends inside a field",
                                     expert.group.MALFORMED, expert.severity.ERROR)
local ef_unterminated = ProtoExpert.new("tessaro.text.unterminated", "Text without NUL",
                                        expert.group.MALFORMED, expert.severity.ERROR)
tessaro.experts = { ef_length, ef_magic, ef_type, ef_truncated, ef_unterminated }

tessaro.prefs.command_port = Pref.uint("Command port", 31773, "UDP port the player takes commands on")
tessaro.prefs.status_port = Pref.uint("Status port", 31772,
                                      "UDP port status and text datagrams are sent to")

-- Every field has a fixed offset and size; a field is read only when the datagram holds all of
-- it, with exactly its size, so no read can run past the datagram or into the next field.
-- kind: "int" (little-endian int32 or int16), "text" (NUL-terminated within its field),
-- "magic" (four bytes as they are), "bytes".
local function F(name, field, offset, size, kind)
    return { name = name, field = field, offset = offset, size = size, kind = kind or "int" }
end

local COMMAND_LAYOUT = {
    F("magic", f.magic, 0, 4, "magic"),
    F("player", f.player, 4, 4),
    F("unused", f.unused, 8, 4, "bytes"),
    F("command", f.command, 12, 4),
    F("unused", f.unused, 16, 8, "bytes"),
    F("value", f.value, 24, 4),
    F("unused", f.unused, 28, 8, "bytes"),
    F("text", f.text, 36, 512, "text"),
}
-- The head of both messages; a text datagram leaves the play state zero.
local function message_head(is_status)
    return {
        F("magic", f.magic, 0, 4, "magic"),
        F("unused", f.unused, 4, 4, "bytes"),
        is_status and F("play_state", f.play_state, 8, 4) or F("unused", f.unused, 8, 4, "bytes"),
        F("constant", f.constant, 12, 4),
        F("unused", f.unused, 16, 4, "bytes"),
        F("type", f.type, 20, 4),
        F("unused", f.unused, 24, 4, "bytes"),
    }
end
local STATUS_HEAD = {
    F("media_name", f.media_name, 28, 128, "text"),
    F("unused", f.unused, 156, 128, "bytes"),
}
local RECORD_OFFSET, RECORD_SIZE = 284, 204
local STATUS_RECORD = {
    F("duration", f.duration, 284, 4),
    F("position", f.position, 288, 4),
    F("record_play_state", f.record_play_state, 292, 4),
    F("record_media_name", f.record_media_name, 296, 128, "text"),
    F("volume", f.volume, 424, 2),
    F("active_player", f.active_player, 426, 2),
    F("unused", f.unused, 428, 60, "bytes"),
}
local STATUS_TAIL = { F("unused", f.unused, 488, 52, "bytes") }
local TEXT_BODY = { F("text", f.text, 28, 512, "text") }

-- Flags the first field the datagram ends in (or before); later ones are not looked for.
local function flag_truncated(tree, tvb, name, offset, size)
    tree:add_proto_expert_info(ef_truncated, string.format(
        "Datagram ends inside field %s (bytes %d..%d of %d)", name, offset, offset + size - 1,
        tvb:len()))
end

-- Adds the fields of a layout to the tree and their values to `values` by name. Returns false
-- when the datagram ended before a field, after flagging it.
local function add_fields(tree, tvb, layout, values)
    for _, e in ipairs(layout) do
        if e.offset + e.size > tvb:len() then
            flag_truncated(tree, tvb, e.name, e.offset, e.size)
            return false
        end
        local range = tvb(e.offset, e.size)
        if e.kind == "int" then
            values[e.name] = range:le_int()
            tree:add_le(e.field, range)
        elseif e.kind == "bytes" then
            tree:add(e.field, range)
        else
            local raw = range:raw()
            local nul = raw:find("\0", 1, true)
            local value = nul and raw:sub(1, nul - 1) or raw
            values[e.name] = value
            local item = tree:add(e.field, range, value)
            if e.kind == "text" and not nul then
                item:add_proto_expert_info(ef_unterminated, string.format(
                    "%s has no NUL within its %d bytes; the player reads it to the field's end",
                    e.name, e.size))
            end
        end
    end
    return true
end

-- The first four bytes, or as many as there are.
local function magic_of(tvb)
    return tvb:len() > 0 and tvb:raw(0, math.min(4, tvb:len())) or ""
end

local function check_header(tree, tvb, expected_size, expected_magic)
    -- Fixed length: the magic is four bytes, whatever follows them.
    local magic = magic_of(tvb)
    if magic ~= expected_magic then
        tree:add_proto_expert_info(ef_magic, string.format("Wrong magic: \"%s\", expected \"%s\"",
            magic:gsub("%c", "."), expected_magic))
    end
    if tvb:len() ~= expected_size then
        tree:add_proto_expert_info(ef_length, string.format(
            "Wrong datagram length: %d bytes, expected %d", tvb:len(), expected_size))
    end
end

local function dissect_command(tvb, pinfo, tree)
    tree:add(f.kind, "Command")
    check_header(tree, tvb, COMMAND_SIZE, COMMAND_MAGIC)
    local v = {}
    add_fields(tree, tvb, COMMAND_LAYOUT, v)

    local code, player = v.command, v.player
    local info = string.format("Command %s, %s", code and (commands[code] or tostring(code)) or "?",
                               player and (players[player] or ("player " .. player)) or "?")
    if code == 10 and v.text then
        info = info .. ": " .. v.text
    elseif (code == 11 or code == 12 or code == 13) and v.value then
        info = info .. " " .. v.value
    end
    pinfo.cols.info:set(info)
end

local function dissect_message(tvb, pinfo, tree)
    local msg_type = tvb:len() >= 24 and tvb(20, 4):le_int() or nil
    tree:add(f.kind, msg_type and message_types[msg_type] or "Message")
    check_header(tree, tvb, MESSAGE_SIZE, MESSAGE_MAGIC)
    local v = {}
    if not add_fields(tree, tvb, message_head(msg_type == 0), v) then
        pinfo.cols.info:set("Message (truncated)")
        return
    end

    if msg_type == 0 then
        if add_fields(tree, tvb, STATUS_HEAD, v) then
            if tvb:len() > RECORD_OFFSET then
                local record = tree:add(tessaro, tvb(RECORD_OFFSET,
                    math.min(RECORD_SIZE, tvb:len() - RECORD_OFFSET)), "Status record")
                if add_fields(record, tvb, STATUS_RECORD, v) then
                    add_fields(tree, tvb, STATUS_TAIL, v)
                end
            else
                flag_truncated(tree, tvb, "Status record", RECORD_OFFSET, RECORD_SIZE)
            end
        end
        local state = v.play_state
        pinfo.cols.info:set(string.format("Status %s, %s, %s %d/%d ms",
            state and (play_states[state] or tostring(state)) or "?",
            v.active_player and (players[v.active_player] or tostring(v.active_player)) or "?",
            (v.media_name or "") ~= "" and v.media_name or "(no media)",
            v.position or 0, v.duration or 0))
    elseif msg_type == 3 then
        add_fields(tree, tvb, TEXT_BODY, v)
        pinfo.cols.info:set("Text: " .. (v.text or ""):gsub("\n$", ""))
    else
        tree:add_proto_expert_info(ef_type)
        pinfo.cols.info:set("Message of unknown type")
    end
end

function tessaro.dissector(tvb, pinfo, tree)
    pinfo.cols.protocol:set("TESSARO")
    local subtree = tvb:len() > 0 and tree:add(tessaro, tvb(), "Tessaro Remote Protocol")
                    or tree:add(tessaro, "Tessaro Remote Protocol")
    local magic = magic_of(tvb)
    -- The port says the kind; a datagram between other ports is told by its magic.
    local is_command
    if pinfo.dst_port == tessaro.prefs.command_port then
        is_command = true
    elseif pinfo.dst_port == tessaro.prefs.status_port then
        is_command = false
    else
        is_command = magic == COMMAND_MAGIC or (magic ~= MESSAGE_MAGIC and tvb:len() == COMMAND_SIZE)
    end
    if is_command then
        dissect_command(tvb, pinfo, subtree)
    else
        dissect_message(tvb, pinfo, subtree)
    end
    return tvb:len()
end

local registered = {}
local function register_ports()
    local udp = DissectorTable.get("udp.port")
    for _, port in ipairs(registered) do
        udp:remove(port, tessaro)
    end
    registered = { tessaro.prefs.command_port, tessaro.prefs.status_port }
    for _, port in ipairs(registered) do
        udp:add(port, tessaro)
    end
end

function tessaro.prefs_changed()
    register_ports()
end

register_ports()
