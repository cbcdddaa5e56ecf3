#pragma once

#include <QString>

// Where the sites file lives, for the window and tallyweave-check alike. A portable folder
// (the program's own folder, writable, not an installed tree) keeps the file beside the
// program; an installed program keeps it in the user's data folder.
namespace SitesLocation {

// What the choice depends on, gathered apart from the choice so that both can be tested.
struct Facts {
    QString programFolder;
    QString dataFolder; // $XDG_DATA_HOME/tallyweave
    bool programFolderWritable = false;
    // The program sits in bin/ beside share/doc/tallyweave: a package or `cmake --install`,
    // whose bin/ is no place for user data even where the user may write it (root, ~/.local).
    bool installedTree = false;
};

// The facts of the running program (needs a QCoreApplication).
Facts Observe();
// Whether `programFolder` is the bin/ of an installed tree.
bool IsInstalledTree(const QString &programFolder);

// The folder that holds the sites file.
QString Folder(const Facts &facts);

// The sites file a reader should read: the one in Folder(), or while that folder holds none,
// the one beside the program (an older portable list), which is read and never changed.
QString FileToRead(const Facts &facts);

// For the program that writes the list: makes the folder if need be and, the first time the
// data folder is used, copies the list beside the program into it. Returns the folder; on a
// failure `error` says what went wrong and the folder is still returned.
QString Prepare(const Facts &facts, QString *error = nullptr);

} // namespace SitesLocation
