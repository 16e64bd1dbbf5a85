// TrashJob: the item a confirmation asks about, then its move to the trash on a thread of its own
// (a large folder on a slow volume may take a while), whose end is posted to the window. The node
// is only remembered, never read off the main thread. Main thread, but for the worker.
#pragma once

#include "app/desktop/Trash.h"
#include "engine/core/Callee.h"
#include "engine/window/Window.h"
#include "scan/FilesystemNode.h"

#include <string>
#include <thread>

class TrashJob {
public:
    // `rootLength`: the bytes of `path` that name its scan root (TrashEntry::rootLength).
    TrashJob(const FilesystemNode* node, std::string path, size_t rootLength)
        : node(node), entry { std::move(path), node->type == FilesystemNode::Type::DIRECTORY, node->size, rootLength }
    {
    }
    // Waits for a move under way: it must not post to a window that is gone.
    ~TrashJob() { finish(); }
    TrashJob(const TrashJob&) = delete;
    TrashJob& operator=(const TrashJob&) = delete;

    // Moves the entry; `done` is posted to `window` when the result is ready.
    void start(orvex::Window& window, orvex::Callee<void>* done)
    {
        worker = std::thread([this, &window, done] {
            result = moveEntryToTrash(entry);
            window.post(done);
        });
    }
    bool running() const { return worker.joinable(); }
    void finish()
    {
        if (worker.joinable())
            worker.join();
    }

    const FilesystemNode* const node;
    const TrashEntry entry;
    TrashResult result { TrashResult::Outcome::REFUSED, {} }; // read after finish()

private:
    std::thread worker;
};
