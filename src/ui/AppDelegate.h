#pragma once

#include <QObject>

namespace brimlet {

// Owns the visible application of the menu-bar use.
class AppDelegate : public QObject {
    Q_OBJECT

  public:
    AppDelegate() = default;

    // Called once, from the running event loop, when launching is done.
    void applicationDidFinishLaunching();
};

}  // namespace brimlet
