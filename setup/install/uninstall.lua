-- Removes Vellagard Web Converter: exactly what setup recorded in uninstall.dat beside
-- this script. Run by uninstall.exe (the setup engine, copied into the installed folder):
--
--   uninstall.exe [/S] [/LOG=FILE]
--
-- The uninstaller itself and its Lua library are in use while it runs; they and the
-- folders setup made are removed by a helper right after it has ended.
local PRODUCT = "Vellagard Web Converter"
local UNINSTALL_ROOT = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
local DONE, FAILED, CANCELLED = 0, 4, 5

setup.set_caption(PRODUCT .. " Uninstall")
local here = setup.engine_folder
local text, err = setup.read_file(here .. "\\uninstall.dat")
if not text then
  setup.message("There is nothing to uninstall here: " .. tostring(err), "error")
  return FAILED
end

-- Only what setup can have written is accepted from the record.
local files, links, keys, folders = {}, {}, {}, {}
for line in text:gmatch("[^\r\n]+") do
  local kind, value = line:match("^(%a+)\t(.+)$")
  if kind == "file" and not value:find("[\\/:]") and value ~= "." and value ~= ".." then
    files[#files + 1] = value
  elseif kind == "shortcut" and value:match("^%a:\\.+%.lnk$") and not value:find("\\..\\", 1, true) then
    links[#links + 1] = value
  elseif kind == "key" and value:sub(1, #UNINSTALL_ROOT) == UNINSTALL_ROOT and #value > #UNINSTALL_ROOT
      and not value:find("\\", #UNINSTALL_ROOT + 1, true) then
    keys[#keys + 1] = value
  elseif kind == "folder" and (value:match("^%a:\\.") or value:match("^\\\\[^\\]+\\[^\\]+\\."))
      and not value:find("\\..\\", 1, true) then
    folders[#folders + 1] = value
  elseif line:sub(1, 1) ~= "#" then
    setup.log("ignoring the record line " .. line)
  end
end

if not setup.message("Remove " .. PRODUCT .. " from\n\n" .. here .. " ?", "question") then
  setup.log("the user declined")
  return CANCELLED
end
setup.log("uninstalling " .. PRODUCT .. " from " .. here)

local own = setup.engine:match("[^\\]+$"):lower()
local problems = {}
local steps = #files + #links + #keys
local step = 0
local function advance(what)
  step = step + 1
  setup.progress(step, steps, what)
end

for _, name in ipairs(files) do
  local path = here .. "\\" .. name
  advance("Removing " .. name)
  if name:lower() == own or name:lower() == "lua5.3.dll" then
    setup.remove_after_exit(path)
  else
    local ok, why = setup.remove_file(path)
    if not ok then problems[#problems + 1] = why end
  end
end
for _, link in ipairs(links) do
  advance("Removing the Start-menu shortcut")
  local ok, why = setup.remove_file(link)
  if not ok then problems[#problems + 1] = why end
end
for _, key in ipairs(keys) do
  advance("Removing the registration")
  -- Only the entry of this installation: another copy may have been installed since.
  local location = setup.reg_get(key, "InstallLocation")
  if location and location:lower() == here:lower() then
    local ok, why = setup.reg_delete_key(key)
    if not ok then problems[#problems + 1] = why end
  end
end
-- Deepest first; a folder that still holds other files stays.
for i = #folders, 1, -1 do setup.remove_after_exit(folders[i]) end
setup.progress_close()

if #problems > 0 then
  setup.message("Some parts of " .. PRODUCT .. " could not be removed:\n" .. table.concat(problems, "\n"), "error")
  return FAILED
end
setup.log("uninstalled " .. PRODUCT .. " from " .. here)
setup.message(PRODUCT .. " was removed.", "info")
return DONE
