// ScanFanOut: the scanner's one listener in the program. The live preview hears every notification
// and the glyph warmer every name, so the glyphs of the labels' characters past ASCII are drawn
// while the scan runs and the chart built at its end finds them ready. Threads as ScanListener says.
#pragma once

#include "icicle/GlyphWarmer.h"
#include "scan/FilesystemNode.h"
#include "scan/ScanListener.h"

class ScanFanOut final : public ScanListener {
public:
    // Neither is owned; `preview` may be null. Both must outlive the scans.
    ScanFanOut(ScanListener* preview, GlyphWarmer& warmer) : preview(preview), warmer(&warmer) {}

    void scanStarted(const char* rootName, size_t length) override
    {
        if (preview)
            preview->scanStarted(rootName, length);
    }
    void directoryEntered(FilesystemNode* directory) override
    {
        if (preview)
            preview->directoryEntered(directory);
        warmer->offer(directory->name.view());
    }
    void fileAdded(FilesystemNode* file) override
    {
        if (preview)
            preview->fileAdded(file);
        warmer->offer(file->name.view());
    }
    void directoryLeft(FilesystemNode* directory) override
    {
        if (preview)
            preview->directoryLeft(directory);
    }

private:
    ScanListener* preview;
    GlyphWarmer* warmer;
};
