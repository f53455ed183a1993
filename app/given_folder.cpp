#include "app/given_folder.h"

std::optional<std::u16string> FolderBoxText(const platform::NamedEntry& entry) {
    std::u16string folder = entry.full_path;
    switch (entry.kind) {
        case platform::EntryKind::Missing:
            return std::nullopt;
        case platform::EntryKind::File:
            // A full path always has a separator before the file's name; cutting after it keeps the "\".
            folder.resize(folder.find_last_of(u"\\/") + 1);
            break;
        case platform::EntryKind::Folder:
            if (folder.empty() || folder.back() != u'\\') {
                folder += u'\\';
            }
            break;
    }
    if (folder.empty()) {
        return std::nullopt;
    }
    return folder;
}
