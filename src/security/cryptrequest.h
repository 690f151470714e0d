#pragma once
// What one encryption or decryption run is asked to do (built by the command, read by the
// worker), and what the worker has to tell the user meanwhile.

#include <atomic>
#include <memory>

#include <QByteArray>
#include <QString>
#include <QStringList>

struct CryptRequest {
    QString containerName; // the container's file name, ".mpxf" included
    QByteArray password;   // its bytes in the local 8-bit encoding, no terminator; may be empty
    QString destination;   // the folder encrypted files go to (ends with "/"); empty: beside their sources
    QString sourceFolder;  // the browser's folder, ending with "/"
    bool encrypt = true;   // false: decrypt
    bool severalItems = false;
    QStringList names; // the selected names, in the list's order
    // Set from the user-interface thread to stop an encryption run before its next file.
    std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
};

// A message box the worker asks for; its owner is the wait window.
struct CryptNotice {
    enum Kind { Warning, Error };
    Kind kind = Error;
    QString caption;
    QString text;
};
