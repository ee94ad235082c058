-- Installs Vellagard Web Converter from the setup data (run by qvsetup.exe, see
-- setup/engine/script_api.h for the `setup` table).
--
--   setup.exe [/S] [/LOG=FILE] [/D=FOLDER]
--
-- Copies the programs, their data files and the licence into the folder (by default
-- %ProgramFiles%\Vellagard Web Converter), puts the uninstaller beside them, makes a
-- Start-menu shortcut and registers the program with Windows' list of installed programs.
-- Whatever goes wrong or is cancelled, everything done so far is undone.
local PRODUCT = "Vellagard Web Converter"
local VERSION = "@PROJECT_VERSION@"
local PUBLISHER = "Quillmere"
local UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" .. PRODUCT
local FILES = { "Converter.exe", "vellagard.exe", "template.html", "vgi.js", "LICENSE.txt" }
local RECORD = "uninstall.dat"

local DONE, USAGE, BAD_SETUP_FILE, FAILED, CANCELLED = 0, 2, 3, 4, 5

setup.set_caption(PRODUCT .. " Setup")

local function fail(code, text)
  setup.progress_close()
  setup.message(text, "error")
  return code
end

local folder = setup.target_folder or (setup.folder("ProgramFiles") .. "\\" .. PRODUCT)
folder = folder:gsub("[\\/]+$", "")
if not (folder:match("^%a:\\.") or folder:match("^\\\\[^\\]+\\[^\\]+\\.")) or folder:find("/", 1, true)
    or folder:find("\\..\\", 1, true) or folder:match("\\%.%.$") then
  return fail(USAGE, "Setup cannot install into \"" .. folder .. "\": /D= needs the full path of a "
    .. "folder, such as /D=C:\\Programs\\" .. PRODUCT .. ".")
end
if setup.exists(folder) == "file" then
  return fail(FAILED, "Setup cannot install into " .. folder .. ": it is a file.\n\nNothing was changed.")
end
setup.log("installing " .. PRODUCT .. " " .. VERSION .. " into " .. folder)

if not setup.message("Install " .. PRODUCT .. " " .. VERSION .. " into\n\n" .. folder .. " ?",
                     "question") then
  setup.log("the user declined")
  return CANCELLED
end

-- What goes where, and how many bytes in all, for the progress bar.
local sizes = {}
for _, e in ipairs(setup.entries()) do sizes[e.name] = e.size end
local plan, total = {}, 0
for _, name in ipairs(FILES) do
  local entry = "Converter/" .. name
  if not sizes[entry] then
    return fail(BAD_SETUP_FILE, "The setup file lacks " .. entry .. ". Download it again.\n\nNothing was changed.")
  end
  plan[#plan + 1] = { name = name, size = sizes[entry], entry = entry }
  total = total + sizes[entry]
end
if not sizes["uninstall.lua"] then
  return fail(BAD_SETUP_FILE, "The setup file lacks uninstall.lua. Download it again.\n\nNothing was changed.")
end
plan[#plan + 1] = { name = "uninstall.lua", size = sizes["uninstall.lua"], entry = "uninstall.lua" }
plan[#plan + 1] = { name = "uninstall.exe", size = setup.file_size(setup.engine) or 0, copy = setup.engine }
plan[#plan + 1] = { name = "lua5.3.dll", size = setup.file_size(setup.lua_library) or 0, copy = setup.lua_library }
for i = #plan - 2, #plan do total = total + plan[i].size end

-- Every change pushes its undoing; on failure or cancel they run newest first.
local undo, backups = {}, {}
local function rollback()
  for i = #undo, 1, -1 do pcall(undo[i]) end
  undo = {}
end

-- Writes a file through `write`; an older file of that name is kept aside until the end.
local function place(path, write)
  if setup.exists(path) == "file" then
    local old = path .. ".vgold"
    setup.remove_file(old)
    local ok, err = setup.move_file(path, old)
    if not ok then error(err, 0) end
    undo[#undo + 1] = function() setup.remove_file(path); setup.move_file(old, path) end
    backups[#backups + 1] = old
  else
    undo[#undo + 1] = function() setup.remove_file(path) end
  end
  return write(path)
end

local Cancelled = {}
local done = 0
local created, record = {}, {}

local function install()
  for _, dir in ipairs(setup.make_dirs(folder)) do
    created[#created + 1] = dir
    undo[#undo + 1] = function() setup.remove_dir(dir) end
  end
  -- A folder made by an earlier installation stays in the record.
  local previous = setup.read_file(folder .. "\\" .. RECORD)
  if previous then
    for dir in previous:gmatch("folder\t([^\r\n]+)") do
      local known = false
      for _, d in ipairs(created) do known = known or d:lower() == dir:lower() end
      if not known then table.insert(created, 1, dir) end
    end
  end

  for _, item in ipairs(plan) do
    local path = folder .. "\\" .. item.name
    setup.log("writing " .. path)
    local label = "Copying " .. item.name
    if not setup.progress(done, total, label) then error(Cancelled, 0) end
    local written = place(path, function(p)
      if item.copy then
        setup.copy_file(item.copy, p)
        return true
      end
      return setup.extract(item.entry, p, label, done, total)
    end)
    if not written then error(Cancelled, 0) end
    done = done + item.size
    record[#record + 1] = "file\t" .. item.name
  end

  if not setup.progress(done, total, "Making the Start-menu shortcut") then error(Cancelled, 0) end
  local link = setup.folder("CommonPrograms") .. "\\" .. PRODUCT .. ".lnk"
  place(link, function(p)
    setup.shortcut(p, folder .. "\\Converter.exe", {
      folder = folder, icon = folder .. "\\Converter.exe",
      description = "Add copy protection to web pages" })
  end)
  record[#record + 1] = "shortcut\t" .. link

  -- The registry entry last; a failure puts back what was there.
  local values = {
    { "DisplayName", PRODUCT },
    { "DisplayVersion", VERSION },
    { "Publisher", PUBLISHER },
    { "InstallLocation", folder },
    { "DisplayIcon", folder .. "\\Converter.exe,0" },
    { "EstimatedSize", (total + 1023) // 1024 },
    { "UninstallString", "\"" .. folder .. "\\uninstall.exe\"" },
    { "QuietUninstallString", "\"" .. folder .. "\\uninstall.exe\" /S" },
    { "NoModify", 1 },
    { "NoRepair", 1 },
  }
  if setup.reg_get(UNINSTALL_KEY, "DisplayName") == nil then
    undo[#undo + 1] = function() setup.reg_delete_key(UNINSTALL_KEY) end
  else
    for _, v in ipairs(values) do
      local old = setup.reg_get(UNINSTALL_KEY, v[1])
      if old ~= nil then undo[#undo + 1] = function() setup.reg_set(UNINSTALL_KEY, v[1], old) end end
    end
  end
  for _, v in ipairs(values) do setup.reg_set(UNINSTALL_KEY, v[1], v[2]) end
  record[#record + 1] = "key\t" .. UNINSTALL_KEY

  for _, dir in ipairs(created) do record[#record + 1] = "folder\t" .. dir end
  record[#record + 1] = "file\t" .. RECORD
  place(folder .. "\\" .. RECORD, function(p)
    setup.write_file(p, "# " .. PRODUCT .. " " .. VERSION .. ": what setup installed. The "
      .. "uninstaller removes exactly this.\r\n" .. table.concat(record, "\r\n") .. "\r\n")
  end)
  setup.progress(total, total, "Done")
end

local ok, err = pcall(install)
if not ok then
  rollback()
  setup.progress_close()
  if err == Cancelled then
    setup.log("cancelled; every change was undone")
    return CANCELLED
  end
  return fail(FAILED, "Setup could not install " .. PRODUCT .. " into " .. folder .. ":\n"
    .. tostring(err) .. "\n\nNothing was changed.")
end
for _, old in ipairs(backups) do setup.remove_file(old) end
setup.progress_close()
setup.log("installed " .. PRODUCT .. " " .. VERSION .. " into " .. folder)
setup.message(PRODUCT .. " " .. VERSION .. " is installed in " .. folder .. ".", "info")
return DONE
