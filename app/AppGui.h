// AppGui: the root component of the main window and the application's controller. It owns the
// scanner, builds the three screens (start, scanning overlay with the live preview, chart) from
// the toolkit's envelopes and layouts, reacts to its buttons and to Escape, polls the scanner on
// every repaint while a scan runs, and turns the finished tree into the chart. The folder picker
// is waited for on the picker's own thread, which posts its news back. Every failure it reports
// is written on a status line in the window (under the directory button, or under the chart's
// header), whether or not a message box can also be shown. Main thread only.
#pragma once

#include "app/Settings.h"
#include "engine/core/Callee.h"
#include "engine/gl/MasterPtr.h"
#include "engine/gl/Mesh.h"
#include "icicle/GeometryVertex.h"
#include "gui/Component.h"
#include "gui/render/BasicGLRenderer.h"
#include "icicle/IcicleMesh.h"
#include "icicle/IcicleNodeLookup.h"
#include "icicle/IcicleResources.h"
#include "icicle/components/IcicleVisualization.h"
#include "icicle/components/RootDirectoryLabel.h"
#include "icicle/components/TreeActions.h"
#include "scan/FileSizeMapper.h"

#include <memory>
#include <string>
#include <vector>

class AppWindow;
class GlyphWarmer;
class ScanFanOut;
class ChartContextMenu;
class DetailsBar;
class IcicleVisualization;
class FolderPick;
class PreviewBuilder;
class StyledButton;
class TrashJob;
namespace orvex::gui {
class ClippedEnvelope;
class Disableable;
class Label;
class ModalLayer;
class RelayoutableEnvelope;
class TextObjectFactory;
}

class AppGui final : public orvex::gui::EnvelopePrototype, public TreeActions {
public:
    // Null when the fonts or the title cannot be made.
    static orvex::UniquePtr<AppGui> create(AppWindow& window, Settings& settings, IcicleResources& resources,
                                           orvex::gui::TextObjectFactory& textFactory);
    ~AppGui() override;

    orvex::gui::Response draw(orvex::gui::Renderer& renderer) override;
    // Before the first frame: draws a pixel with each program and blend mode of the scan's
    // screen, so that a software GL driver compiles them at start-up (20-40 ms) rather than in
    // the first frames of a scan. The caller clears what was drawn.
    void warmUp(orvex::gui::Renderer& renderer);
    orvex::gui::Response keyPress(const orvex::KeyEvent& event) override;

    // Directories or stored scans named on the command line ("-": a stored scan on standard
    // input): scanned at once, several under one summary, when each can be read; otherwise the
    // status line and a message box name the first that cannot and the start screen stays.
    void startFromCommandLine(const std::vector<std::string>& paths);

    // The failure the status line shows (UTF-8), empty when there is none; for the frame log.
    const std::string& statusText() const { return status; }

    // The details bar's line (UTF-8), empty when no chart is shown; for the frame log.
    const std::string& detailsText() const;

    // For the window's frame log: whether a scan is being shown, and whether a finished chart is.
    bool scanShown() const { return scanning; }
    bool chartShown() const { return bool(mesh.mesh) && !scanning; }
    // A scan is shown whose walk has ended: its next frame takes the result, so pacing need not wait.
    bool scanEnded() const { return scanning && mapper->currentState() != SCANNING; }

    // Opens the folder picker (unless one is open or a scan runs) with the directory button
    // disabled; the answer arrives through onPicked.
    void pickDirectory();
    void onPicked();
    void startMapping(std::vector<std::string> paths);
    void onScanFinished();

    // [changing the tree: AppGuiEdits.cpp] F5 and the menu's Refresh scan a folder again on a
    // scanner of its own while the chart stays usable (Escape cancels, the old contents kept);
    // Delete and Move to Trash ask in a panel over the chart, then move the item on a thread of
    // its own. The tree changes only here, on the main thread between frames, and the chart is
    // rebuilt around it with its focus, selection and view kept.
    bool canRefresh(const FilesystemNode* node) const override;
    void refresh(const FilesystemNode* node) override;
    bool canTrash(const FilesystemNode* node) const override;
    void trash(const FilesystemNode* node) override;
    bool refreshing() const { return refreshTarget != nullptr; }
    // A refresh whose walk has ended: its next frame takes the result.
    bool refreshEnded() const { return refreshing() && refresher->currentState() != SCANNING; }
    void onRefreshFinished();
    void onTrashDone();
    bool fromStoredScan(const FilesystemNode* node) const; // its paths may be another machine's
    std::string editUnderWay() const;

private:
    AppGui(AppWindow& window, Settings& settings, IcicleResources& resources, orvex::gui::TextObjectFactory& textFactory,
           orvex::UniquePtr<orvex::Mesh<GeometryVertex>> title, orvex::UniquePtr<PreviewBuilder> preview);

    class ShellBridge;
    using Style = orvex::gui::BasicGLRenderer::StyleObject;

    const Style* makeStyle(orvex::Color<float> color, orvex::Color<float> background);
    orvex::UniquePtr<orvex::gui::Component> button(const char32_t* text, void (AppGui::*action)(),
                                                   orvex::gui::Disableable** disableable = nullptr);
    orvex::UniquePtr<orvex::gui::Component> label(const char32_t* text, double height, bool bold, const Style* style,
                                                  orvex::gui::Label** made = nullptr);
    orvex::UniquePtr<orvex::gui::Component> startScreen();
    orvex::UniquePtr<orvex::gui::Component> selectionScreen();
    void buildFrame();
    orvex::UniquePtr<orvex::gui::Component> scanningOverlay();
    void setScreen(orvex::UniquePtr<orvex::gui::Component> screen);
    void focusDirectoryButton();
    void openHomepage();
    void openSupportPage();
    void cancelScan();
    void postPickDirectory();
    size_t progressLevels() const;
    void setButtonsDisabled(bool disabled);
    // Writes `text` on the status line (empty clears it); with `box`, a message box follows once
    // a frame with the line has been drawn.
    void reportFailure(const std::string& text, bool box);
    void setStatus(std::string text);
    orvex::UniquePtr<orvex::gui::Component> statusLine();
    orvex::UniquePtr<orvex::gui::Component> statusContent();
    void showPendingBox();
    orvex::UniquePtr<orvex::gui::Component> chartLayer(orvex::UniquePtr<IcicleVisualization> visualization);
    void chartFocusChanged();
    // The chart with the details bar under it, and the window's title naming the scanned path.
    orvex::UniquePtr<orvex::gui::Component> chartWithDetails(orvex::UniquePtr<orvex::gui::Component> chart,
                                                              IcicleVisualization* visualization, const ScanProblems& problems);
    void showScannedPathInTitle(std::string_view scannedPath);
    // Lays `tree` out into a new chart with its details bar, menu and scroll bar (chartProblems and
    // chartImported describe it), replacing the chart shown.
    void showChart(orvex::UniquePtr<FilesystemNode> tree);
    // Edits: the folder a refresh of `node` scans (a file stands for its folder); the refresh of
    // the selection, else the focused folder (F5).
    static const FilesystemNode* refreshFolder(const FilesystemNode* node);
    void refreshChosen();
    void pollRefresh();
    void cancelRefresh();
    void trashSelected();
    void confirmTrash();
    void cancelTrash();
    void startTrash();
    void showTrashQuestion(const std::string& path, const std::string& facts, bool folder);
    void hideTrashQuestion();
    bool trashQuestionShown() const;
    // Takes the tree from the chart, runs `edit` on it (which may not touch the chart) and shows the
    // chart again with its placement kept, `anchor` where it was.
    template<typename Edit>
    void editTree(const FilesystemNode* changed, bool keepChanged, const FilesystemNode* anchor, Edit edit);
    void setNotice(const std::string& text, bool untilChartChanges);
    static FilesystemNode* mutableNode(const FilesystemNode* node) { return const_cast<FilesystemNode*>(node); }

    orvex::MemberFunctionCallee<AppGui, void> pickDirectoryCallee;
    orvex::MemberFunctionCallee<AppGui, void> scanFinishedCallee;
    orvex::MemberFunctionCallee<AppGui, void> pickedCallee;
    orvex::MemberFunctionCallee<AppGui, void> messageBoxCallee;
    orvex::MemberFunctionCallee<AppGui, void> refreshFinishedCallee;
    orvex::MemberFunctionCallee<AppGui, void> trashDoneCallee;
    orvex::MemberFunctionCallee<AppGui, void> confirmTrashCallee;
    AppWindow& window;
    Settings& settings;
    orvex::gui::TextObjectFactory& textFactory;
    IcicleResources& resources;
    orvex::UniquePtr<orvex::Mesh<GeometryVertex>> titleMesh;
    IcicleMesh<orvex::MasterPtr, int> mesh;
    orvex::UniquePtr<PreviewBuilder> preview;
    IcicleNodeLookup nodeLookup;
    orvex::UniquePtr<TreeImporter> importer; // reads stored scans; outlives the scanner that uses it
    orvex::UniquePtr<GlyphWarmer> glyphWarmer; // draws the labels' glyphs while a scan runs
    orvex::UniquePtr<ScanFanOut> scanListener; // the preview and the warmer; outlive the scanner
    orvex::UniquePtr<FileSizeMapper> mapper;
    bool scanning = false;
    orvex::gui::EnvelopePrototype* rootLabelSlot = nullptr;
    orvex::gui::EnvelopePrototype* scrollBarSlot = nullptr;
    orvex::gui::RelayoutableEnvelope* chartSlot = nullptr;
    orvex::gui::Disableable* directoryButton = nullptr;
    orvex::gui::Disableable* linkButtons[2] = {}; // HOMEPAGE and SUPPORT THIS PROJECT, on the start screen
    orvex::gui::Label* bytesLabel = nullptr;
    orvex::gui::Label* progressLabel = nullptr;
    orvex::gui::ClippedEnvelope* progressClip = nullptr; // holds progressLabel
    orvex::gui::RelayoutableEnvelope* screenHolder = nullptr; // the content; its own content is the screen
    DetailsBar* detailsBar = nullptr; // under the finished chart
    orvex::UniquePtr<ShellBridge> shell;
    std::unique_ptr<FolderPick> pick; // the open folder picker; destroyed first (it calls back into this)
    std::string status;                // the status line's text
    orvex::gui::EnvelopePrototype* statusSlot = nullptr; // the current screen's status line
    std::string pendingBox;            // a message box to show after the next frame
    bool boxPosted = false;

    std::vector<orvex::UniquePtr<Style>> styles; // outlive every component that points at them
    const Style* buttonBackground = nullptr;
    const Style* buttonLabel = nullptr;
    const Style* panelStyle = nullptr;
    const Style* chartBackgroundStyle = nullptr;
    const Style* shadeStyle = nullptr;
    const Style* frameStyle = nullptr;
    const Style* primaryTextStyle = nullptr;
    const Style* secondaryTextStyle = nullptr;
    const Style* failureTextStyle = nullptr;
    const Style* outlineLightStyle = nullptr; // the selected cell's frame, the focus ring
    const Style* outlineDarkStyle = nullptr;
    const Style* clearStyle = nullptr;        // draws nothing: the chart menu's buttons
    IcicleVisualization* chart = nullptr;      // the finished scan's chart, in chartSlot
    ChartContextMenu* chartMenu = nullptr;     // the layer over it
    orvex::gui::ModalLayer* chartModal = nullptr; // over both: the question before a move to the trash
    CaptionMesh focusLabel;                    // the root label's mesh while a folder is focused

    // The chart's tree: what its scan could not read and where it came from, kept true across edits.
    ScanProblems chartProblems;
    ImportedScan chartImported;
    orvex::UniquePtr<FileSizeMapper> refresher; // made at the first refresh; never sees the chart's tree
    const FilesystemNode* refreshTarget = nullptr; // the folder being scanned again
    std::string refreshPath;
    std::unique_ptr<TrashJob> trashJob;          // the confirmation's subject, then the move under way
    uint64_t bytesFreed = 0;                     // moved to the trash since the program started
};
