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
tessaro.experts = { ef_length, ef_magic, ef_type }

tessaro.prefs.command_port = Pref.uint("Command port", 31773, "UDP port the player takes commands on")
tessaro.prefs.status_port = Pref.uint("Status port", 31772,
                                      "UDP port status and text datagrams are sent to")

-- Adds one field when the datagram is long enough to hold it; a short datagram shows what it has.
local function add(tree, field, tvb, offset, size, kind)
    if offset + size > tvb:len() then
        return nil
    end
    local range = tvb(offset, size)
    if kind == "string" then
        return tree:add(field, range, range:stringz(ENC_UTF_8))
    elseif kind == "int16" then
        return tree:add_le(field, range)
    elseif kind == "bytes" then
        return tree:add(field, range)
    end
    return tree:add_le(field, range)
end

local function value_of(tvb, offset, size)
    if offset + size > tvb:len() then
        return nil
    end
    return tvb(offset, size):le_int()
end

local function check_header(tree, tvb, expected_size, expected_magic)
    local magic_item = add(tree, f.magic, tvb, 0, 4, "string")
    local magic = tvb:len() >= 4 and tvb(0, 4):string() or ""
    if magic ~= expected_magic then
        (magic_item or tree):add_proto_expert_info(ef_magic,
            string.format("Wrong magic: \"%s\", expected \"%s\"", magic, expected_magic))
    end
    if tvb:len() ~= expected_size then
        tree:add_proto_expert_info(ef_length, string.format(
            "Wrong datagram length: %d bytes, expected %d", tvb:len(), expected_size))
    end
end

local function dissect_command(tvb, pinfo, tree)
    tree:add(f.kind, "Command")
    check_header(tree, tvb, COMMAND_SIZE, COMMAND_MAGIC)
    add(tree, f.player, tvb, 4, 4)
    add(tree, f.unused, tvb, 8, 4, "bytes")
    add(tree, f.command, tvb, 12, 4)
    add(tree, f.unused, tvb, 16, 8, "bytes")
    add(tree, f.value, tvb, 24, 4)
    add(tree, f.unused, tvb, 28, 8, "bytes")
    add(tree, f.text, tvb, 36, math.min(512, math.max(0, tvb:len() - 36)), "string")

    local code = value_of(tvb, 12, 4)
    local player = value_of(tvb, 4, 4)
    local info = string.format("Command %s, %s", code and (commands[code] or tostring(code)) or "?",
                               player and (players[player] or ("player " .. player)) or "?")
    if code == 10 and tvb:len() > 36 then
        info = info .. ": " .. tvb(36, math.min(512, tvb:len() - 36)):stringz(ENC_UTF_8)
    elseif (code == 11 or code == 12 or code == 13) and value_of(tvb, 24, 4) then
        info = info .. " " .. value_of(tvb, 24, 4)
    end
    pinfo.cols.info:set(info)
end

local function dissect_message(tvb, pinfo, tree)
    local msg_type = value_of(tvb, 20, 4)
    tree:add(f.kind, msg_type and message_types[msg_type] or "Message")
    check_header(tree, tvb, MESSAGE_SIZE, MESSAGE_MAGIC)
    add(tree, f.unused, tvb, 4, 4, "bytes")
    if msg_type == 0 then
        add(tree, f.play_state, tvb, 8, 4)
    else
        add(tree, f.unused, tvb, 8, 4, "bytes")
    end
    add(tree, f.constant, tvb, 12, 4)
    add(tree, f.unused, tvb, 16, 4, "bytes")
    local type_item = add(tree, f.type, tvb, 20, 4)
    add(tree, f.unused, tvb, 24, 4, "bytes")

    if msg_type == 0 then
        add(tree, f.media_name, tvb, 28, 128, "string")
        add(tree, f.unused, tvb, 156, 128, "bytes")
        local record = tree:add(tessaro, tvb(math.min(284, tvb:len()),
                                             math.max(0, math.min(204, tvb:len() - 284))),
                                "Status record")
        add(record, f.duration, tvb, 284, 4)
        add(record, f.position, tvb, 288, 4)
        add(record, f.record_play_state, tvb, 292, 4)
        add(record, f.record_media_name, tvb, 296, 128, "string")
        add(record, f.volume, tvb, 424, 2, "int16")
        add(record, f.active_player, tvb, 426, 2, "int16")
        add(record, f.unused, tvb, 428, 60, "bytes")
        add(tree, f.unused, tvb, 488, 52, "bytes")
        local state = value_of(tvb, 8, 4)
        local active = tvb:len() >= 428 and tvb(426, 2):le_int() or nil
        local name = tvb:len() >= 156 and tvb(28, 128):stringz(ENC_UTF_8) or ""
        pinfo.cols.info:set(string.format("Status %s, %s, %s %d/%d ms",
            state and (play_states[state] or tostring(state)) or "?",
            active and (players[active] or tostring(active)) or "?",
            name ~= "" and name or "(no media)",
            value_of(tvb, 288, 4) or 0, value_of(tvb, 284, 4) or 0))
    elseif msg_type == 3 then
        add(tree, f.text, tvb, 28, math.min(512, math.max(0, tvb:len() - 28)), "string")
        local text = tvb:len() > 28 and tvb(28, math.min(512, tvb:len() - 28)):stringz(ENC_UTF_8) or ""
        pinfo.cols.info:set("Text: " .. text:gsub("\n$", ""))
    else
        if type_item then
            type_item:add_proto_expert_info(ef_type)
        end
        pinfo.cols.info:set("Message of unknown type")
    end
end

function tessaro.dissector(tvb, pinfo, tree)
    pinfo.cols.protocol:set("TESSARO")
    local subtree = tree:add(tessaro, tvb(), "Tessaro Remote Protocol")
    local magic = tvb:len() >= 4 and tvb(0, 4):string() or ""
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
