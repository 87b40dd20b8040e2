#include "web_opener.h"

#include <windows.h>

namespace {

bool ReadCommand(const std::string& key, std::string* command)
{
    char text[1024] = {};
    LONG size = sizeof text;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), text, &size) != ERROR_SUCCESS)
        return false;
    *command = text;
    return true;
}

bool WriteCommand(const std::string& key, const std::string& command)
{
    return RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, command.c_str(),
                        static_cast<DWORD>(command.size())) == ERROR_SUCCESS;
}

}

WebOpener::WebOpener(const std::string& programPath) : registered_(true)
{
    for (const char* scheme : {"http", "https"}) {
        SavedCommand saved = {std::string(scheme) + "\\shell\\open\\command", false, ""};
        saved.existed = ReadCommand(saved.key, &saved.command);
        saved_.push_back(saved);
        registered_ = registered_ && WriteCommand(saved.key, "\"" + programPath + "\" \"%1\"");
    }
}

WebOpener::~WebOpener()
{
    for (const SavedCommand& saved : saved_) {
        if (saved.existed)
            WriteCommand(saved.key, saved.command);
        else
            RegDeleteKeyA(HKEY_CLASSES_ROOT, saved.key.c_str());
    }
}
