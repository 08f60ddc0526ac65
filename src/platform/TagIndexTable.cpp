#include "platform/TagIndexTable.h"

#include "platform/TagNames.h"
#include "platform/TagPaths.h"

int TagIndexTable::addRoot(const QByteArray& path) {
    const int folder = addFolder(kNone, path);
    m_roots.append(folder);
    return folder;
}

int TagIndexTable::addFolder(int parent, const QByteArray& name) {
    int folder;
    if (!m_freeFolders.isEmpty()) {
        folder = m_freeFolders.takeLast();
        m_folders[folder] = Folder();
    } else {
        folder = static_cast<int>(m_folders.size());
        m_folders.emplace_back();
    }
    m_folders[folder].parent = parent;
    m_folders[folder].name = name;
    if (parent != kNone) {
        m_folders[parent].subfolders.push_back(folder);
    }
    return folder;
}

std::optional<int> TagIndexTable::subfolder(int parent, const QByteArray& name) const {
    if (!isFolderAlive(parent)) {
        return std::nullopt;
    }
    for (const int child : m_folders[parent].subfolders) {
        if (m_folders[child].name == name) {
            return child;
        }
    }
    return std::nullopt;
}

void TagIndexTable::removeFolder(int folder, QList<int>* watchesDropped) {
    if (!isFolderAlive(folder)) {
        return;
    }
    ++m_version;
    // Children first, iteratively over a work list so that deep trees cannot exhaust the stack.
    QList<int> pending{folder};
    QList<int> order;
    while (!pending.isEmpty()) {
        const int current = pending.takeLast();
        order.append(current);
        for (const int child : m_folders[current].subfolders) {
            pending.append(child);
        }
    }
    m_pathCache.clear();
    const int parent = m_folders[folder].parent;
    if (parent != kNone) {
        std::erase(m_folders[parent].subfolders, folder);
    } else {
        m_roots.removeAll(folder);
    }
    for (const int current : order) {
        Folder& entry = m_folders[current];
        for (const int file : entry.files) {
            m_fileByName.remove({current, m_files[file].name});
            dropFile(file);
        }
        // The kernel gives one watch per folder: the same one may now belong to the folder's
        // entry at its new place, which keeps it.
        if (entry.watch >= 0 && m_folderByWatch.value(entry.watch, kNone) == current) {
            m_folderByWatch.remove(entry.watch);
            if (watchesDropped) {
                watchesDropped->append(entry.watch);
            }
        }
        entry = Folder();
        entry.alive = false;
        m_retiredFolders.append(current);
    }
}

void TagIndexTable::recycleRemovedFolders() {
    m_freeFolders.append(m_retiredFolders);
    m_retiredFolders.clear();
}

void TagIndexTable::moveFolder(int folder, int newParent, const QByteArray& newName) {
    if (!isFolderAlive(folder) || !isFolderAlive(newParent)) {
        return;
    }
    ++m_version;
    // Whatever was at the destination is replaced, as rename() replaces it on disk.
    if (const auto existing = subfolder(newParent, newName); existing && *existing != folder) {
        removeFolder(*existing);
    }
    m_pathCache.clear();
    Folder& entry = m_folders[folder];
    if (entry.parent != kNone) {
        std::erase(m_folders[entry.parent].subfolders, folder);
    }
    entry.parent = newParent;
    entry.name = newName;
    m_folders[newParent].subfolders.push_back(folder);
}

QByteArray TagIndexTable::folderPath(int folder) const {
    QList<const QByteArray*> parts;
    for (int current = folder; current != kNone; current = m_folders[current].parent) {
        parts.append(&m_folders[current].name);
    }
    QByteArray path;
    for (auto it = parts.crbegin(); it != parts.crend(); ++it) {
        if (!path.isEmpty() && !path.endsWith('/')) {
            path += '/';
        }
        path += **it;
    }
    return path;
}

bool TagIndexTable::isFolderAlive(int folder) const {
    return folder >= 0 && folder < static_cast<int>(m_folders.size()) && m_folders[folder].alive;
}

void TagIndexTable::setWatch(int folder, int watch) {
    if (!isFolderAlive(folder)) {
        return;
    }
    m_folders[folder].watch = watch;
    if (watch >= 0) {
        m_folderByWatch.insert(watch, folder);
    }
}

std::optional<int> TagIndexTable::folderForWatch(int watch) const {
    const auto it = m_folderByWatch.constFind(watch);
    return it == m_folderByWatch.cend() ? std::nullopt : std::optional(*it);
}

QStringList TagIndexTable::keysFor(const QStringList& tags) {
    QSet<QString> keys;
    for (const QString& tag : TagPaths::meanings(tags)) {
        const QString folded = TagNames::matchKey(tag);
        keys.insert(folded);
        for (qsizetype i = folded.indexOf(u'\n'); i >= 0; i = folded.indexOf(u'\n', i + 1)) {
            keys.insert(folded.left(i));
        }
    }
    return QStringList(keys.begin(), keys.end());
}

QStringList TagIndexTable::keysOf(const QStringList& tags) {
    QStringList keys;
    for (const QString& tag : tags) {
        auto known = m_keysOfName.constFind(tag);
        if (known == m_keysOfName.cend()) {
            known = m_keysOfName.insert(tag, keysFor({tag}));
            if (const QString bare = tag.section(u'\n', 0, 0);
                !bare.isEmpty() && !m_spelled.contains(bare)) {
                m_spelled.insert(bare);
                if (const QString key = TagNames::matchKey(bare); !m_spellings.contains(key)) {
                    m_spellings.insert(key, bare);
                }
            }
        }
        if (tags.size() == 1) {
            return *known;  // most files carry one name: its list is shared
        }
        for (const QString& key : *known) {
            if (!keys.contains(key)) {
                keys.append(key);
            }
        }
    }
    return keys;
}

int TagIndexTable::storeFile(int folder, const QByteArray& name, const QStringList& tags,
                             int existing, const QByteArray& value, quint64 inode) {
    ++m_version;
    int file = existing;
    if (file == kNone) {
        if (!m_freeFiles.isEmpty()) {
            file = m_freeFiles.takeLast();
        } else {
            file = static_cast<int>(m_files.size());
            m_files.append(TaggedFile());
        }
    } else {
        for (const QString& key : std::as_const(m_files[file].keys)) {
            // An emptied set is dropped: the name is on no file any more.
            if (auto set = m_filesByKey.find(key); set != m_filesByKey.end()) {
                set->remove(file);
                if (set->isEmpty()) {
                    m_filesByKey.erase(set);
                }
            }
        }
    }
    // A note of Orvane's own write carries names only: the bytes read with the write's event
    // stay.
    const QByteArray kept = value.isEmpty() && existing != kNone ? m_files[file].value : value;
    const quint64 keptInode = inode == 0 && existing != kNone ? m_files[file].inode : inode;
    m_files[file] = TaggedFile{folder, name, keysOf(tags), kept, keptInode};
    for (const QString& key : std::as_const(m_files[file].keys)) {
        m_filesByKey[key].insert(file);
    }
    return file;
}

void TagIndexTable::dropFile(int file) {
    ++m_version;
    for (const QString& key : std::as_const(m_files[file].keys)) {
        auto it = m_filesByKey.find(key);
        if (it != m_filesByKey.end()) {
            it->remove(file);
            if (it->isEmpty()) {
                m_filesByKey.erase(it);
            }
        }
    }
    m_files[file] = TaggedFile();
    m_freeFiles.append(file);
}

QByteArray TagIndexTable::fileValue(int folder, const QByteArray& name) const {
    const auto it = m_fileByName.constFind({folder, name});
    return it == m_fileByName.cend() ? QByteArray() : m_files[*it].value;
}

quint64 TagIndexTable::fileInode(int folder, const QByteArray& name) const {
    const auto it = m_fileByName.constFind({folder, name});
    return it == m_fileByName.cend() ? 0 : m_files[*it].inode;
}

void TagIndexTable::setFileTags(int folder, const QByteArray& name, const QStringList& tags,
                                const QByteArray& value, quint64 inode) {
    if (!isFolderAlive(folder)) {
        return;
    }
    const std::pair<int, QByteArray> key{folder, name};
    const auto it = m_fileByName.constFind(key);
    const int existing = it == m_fileByName.cend() ? kNone : *it;
    if (tags.isEmpty()) {
        if (existing != kNone) {
            dropFile(existing);
            m_fileByName.remove(key);
            std::erase(m_folders[folder].files, existing);
        }
        return;
    }
    const int file = storeFile(folder, name, tags, existing, value, inode);
    if (existing == kNone) {
        m_fileByName.insert(key, file);
        m_folders[folder].files.push_back(file);
    }
}

QList<QByteArray> TagIndexTable::taggedFileNames(int folder) const {
    QList<QByteArray> names;
    if (isFolderAlive(folder)) {
        for (const int file : m_folders[folder].files) {
            names.append(m_files[file].name);
        }
    }
    return names;
}

QList<int> TagIndexTable::subfolders(int folder) const {
    if (!isFolderAlive(folder)) {
        return {};
    }
    return QList<int>(m_folders[folder].subfolders.begin(), m_folders[folder].subfolders.end());
}

void TagIndexTable::setOutsideFileTags(const QByteArray& path, const QStringList& tags) {
    const auto it = m_outsideFiles.constFind(path);
    const int existing = it == m_outsideFiles.cend() ? kNone : *it;
    if (tags.isEmpty()) {
        if (existing != kNone) {
            dropFile(existing);
            m_outsideFiles.remove(path);
        }
        return;
    }
    m_outsideFiles.insert(path, storeFile(kNone, path, tags, existing));
}

void TagIndexTable::reserveOutsideFiles(qsizetype count) {
    m_files.reserve(m_files.size() + count);
    m_outsideFiles.reserve(m_outsideFiles.size() + count);
}

QList<TagIndexStore::Entry> TagIndexTable::taggedFiles() const {
    QList<TagIndexStore::Entry> files;
    files.reserve(taggedFileCount());
    for (const TaggedFile& file : m_files) {
        if (file.keys.isEmpty()) {
            continue;  // a free slot
        }
        files.append({fullPath(file), file.keys});
    }
    return files;
}

QStringList TagIndexTable::tagNames() const {
    QStringList names;
    for (auto it = m_spellings.cbegin(); it != m_spellings.cend(); ++it) {
        if (m_filesByKey.contains(it.key())) {
            names.append(it.value());
        }
    }
    return names;
}

std::optional<int> TagIndexTable::folderForPath(const QByteArray& path) const {
    for (const int root : m_roots) {
        const QByteArray& rootPath = m_folders[root].name;
        if (path == rootPath) {
            return root;
        }
        const QByteArray prefix = rootPath.endsWith('/') ? rootPath : rootPath + '/';
        if (!path.startsWith(prefix)) {
            continue;
        }
        int folder = root;
        bool found = true;
        for (const QByteArray& part : path.mid(prefix.size()).split('/')) {
            if (part.isEmpty()) {
                continue;
            }
            const auto next = subfolder(folder, part);
            if (!next) {
                found = false;
                break;
            }
            folder = *next;
        }
        if (found) {
            return folder;
        }
    }
    return std::nullopt;
}

QList<QByteArray> TagIndexTable::pathsWithTag(const QString& name) const {
    QList<QByteArray> paths;
    const auto it = m_filesByKey.constFind(TagNames::matchKey(name));
    if (it == m_filesByKey.cend()) {
        return paths;
    }
    paths.reserve(it->size());
    for (const int file : *it) {
        paths.append(fullPath(m_files[file]));
    }
    return paths;
}

QByteArray TagIndexTable::fullPath(const TaggedFile& file) const {
    if (file.folder == kNone) {
        return file.name;
    }
    const QByteArray& folderPath = cachedFolderPath(file.folder);
    QByteArray path;
    path.reserve(folderPath.size() + 1 + file.name.size());
    path += folderPath;
    if (!folderPath.endsWith('/')) {
        path += '/';
    }
    path += file.name;
    return path;
}

const QByteArray& TagIndexTable::cachedFolderPath(int folder) const {
    auto it = m_pathCache.find(folder);
    if (it == m_pathCache.end()) {
        it = m_pathCache.insert(folder, folderPath(folder));
    }
    return *it;
}

void TagIndexTable::clear() {
    ++m_version;
    m_folders.clear();
    m_freeFolders.clear();
    m_retiredFolders.clear();
    m_roots.clear();
    m_files.clear();
    m_freeFiles.clear();
    m_filesByKey.clear();
    m_folderByWatch.clear();
    m_outsideFiles.clear();
    m_fileByName.clear();
    m_pathCache.clear();
    m_keysOfName.clear();
    m_spellings.clear();
    m_spelled.clear();
}
