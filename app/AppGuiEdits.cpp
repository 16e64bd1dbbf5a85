// AppGui's side of acting on what the chart shows: a folder scanned again on a scanner of its own
// and its contents put in place, an item moved to the trash after the user confirmed it, and the
// chart rebuilt around the edited tree with its focus, selection and view kept. The tree changes
// only in posted calls on the main thread, never inside a component's own call, since rebuilding
// the chart replaces the components.
#include "app/AppGui.h"

#include "app/AppWindow.h"
#include "app/ProgressText.h"
#include "app/StartPath.h"
#include "app/TrashJob.h"
#include "app/desktop/Trash.h"
#include "engine/window/KeyCodes.h"
#include "gui/ConfirmationPanel.h"
#include "gui/layouts/ModalLayer.h"
#include "gui/envelopes/RelayoutableEnvelope.h"
#include "icicle/LabelText.h"
#include "icicle/components/ChartContextMenu.h"
#include "icicle/components/DetailsBar.h"
#include "icicle/components/DetailsText.h"
#include "scan/TreeEdit.h"

#include <algorithm>


using namespace orvex;
using namespace orvex::gui;

namespace {

std::string shown(const FilesystemNode* node) { return toUtf8(DetailsText::displayText(IcicleNodeLookup::nodePath(node))); }

std::string sizeText(uint64_t bytes)
{
    return LabelText::sizeString(bytes) + " (" + DetailsText::groupedNumber(bytes) + " bytes)";
}

// The bytes of `node`'s path that name its scan root: the walk followed links there, not below.
size_t scanRootLength(const FilesystemNode* node)
{
    while (!isScanRoot(node))
        node = node->parent;
    return node->name.length;
}

// A sentence from the desktop layer that may hold a path's raw bytes, made fit to show.
std::string shownSentence(const std::string& sentence) { return toUtf8(DetailsText::displayText(sentence)); }

} // namespace

void AppGui::setNotice(const std::string& text, bool untilChartChanges)
{
    if (detailsBar)
        detailsBar->setNotice(text, untilChartChanges);
}

// [SECTION] Refresh

const FilesystemNode* AppGui::refreshFolder(const FilesystemNode* node)
{
    return node && node->type == FilesystemNode::Type::FILE ? node->parent : node;
}

bool AppGui::fromStoredScan(const FilesystemNode* node) const
{
    if (!chartImported.file.empty())
        return true;
    while (!isScanRoot(node))
        node = node->parent;
    const auto& stored = chartImported.storedRoots;
    return std::find(stored.begin(), stored.end(), node) != stored.end();
}

bool AppGui::canRefresh(const FilesystemNode* node) const
{
    const FilesystemNode* folder = refreshFolder(node);
    // A stored scan's folder can be scanned again only where it exists on this machine. A scanned
    // one always can: if it is gone, or is no longer that folder, the refresh takes it out.
    return chart && folder && !folder->scanSummary && !refreshing() && !trashJob && !scanning
        && (!fromStoredScan(folder) || startPathProblem(IcicleNodeLookup::nodePath(folder)).empty());
}

void AppGui::refreshChosen()
{
    if (!chart)
        return;
    const FilesystemNode* node = chart->selectedNode();
    refresh(node ? node : chart->focusedNode());
}

// Why nothing can start while the chart's tree is being changed; empty when something can.
std::string AppGui::editUnderWay() const
{
    if (refreshing())
        return shown(refreshTarget) + " is being scanned again: wait for it to end, or press Escape to cancel it.";
    if (trashJob && trashJob->running())
        return shown(trashJob->node) + " is being moved to the trash: wait for the move to end.";
    return {};
}

void AppGui::refresh(const FilesystemNode* node)
{
    const FilesystemNode* folder = refreshFolder(node);
    if (!canRefresh(node)) {
        if (folder && !refreshing() && !trashJob)
            setNotice(shown(folder) + " is not a folder on this machine: it cannot be scanned again.", true);
        return;
    }
    setStatus({}); // a new action: the last one's line is stale
    refreshTarget = folder;
    refreshPath = IcicleNodeLookup::nodePath(folder);
    if (!refresher)
        refresher = makeUnique<FileSizeMapper>();
    refresher->setNodeBudget(nodeBudget(settings));
    // By the scan's own rules: no link below the scan root is followed, also not at the folder.
    refresher->refreshDirectory(refreshPath, scanRootLength(folder));
    setNotice("Refreshing " + shown(folder) + "\u2026", false);
    window.requestRedraw();
}

// Once per frame while a refresh runs: its progress in the details bar, and its end posted.
void AppGui::pollRefresh()
{
    std::string path;
    uint64_t bytes = 0, rootLength = 0;
    bool leftOut = false;
    const ScanState state = refresher->getProgress(path, bytes, rootLength, 2, leftOut);
    if (state != SCANNING) {
        window.post(&refreshFinishedCallee);
        return;
    }
    setNotice("Refreshing " + toUtf8(DetailsText::displayText(refreshPath)) + ": " + formatByteCount(bytes) + " so far, in "
                  + toUtf8(DetailsText::displayText(std::string_view(path).substr(std::min<size_t>(rootLength, path.size())))),
              false);
}

void AppGui::cancelRefresh()
{
    if (!refreshing())
        return;
    refresher->cancel();
    refresher->takeResult() = nullptr; // a walk that had just ended: its tree goes unused
    const FilesystemNode* folder = std::exchange(refreshTarget, nullptr);
    setNotice("Refresh of " + shown(folder) + " cancelled: the chart still shows the earlier scan.", true);
}

void AppGui::onRefreshFinished()
{
    if (!refreshing() || refresher->currentState() != FINISHED)
        return;
    FilesystemNode* folder = mutableNode(std::exchange(refreshTarget, nullptr));
    UniquePtr<FilesystemNode> fresh = refresher->takeResult();
    const ScanProblems freshProblems = refresher->problems();
    const std::string name = shown(folder);
    if (!fresh && !folder->parent) {
        setNotice(name + " no longer exists: the chart shows the earlier scan.", true);
        return;
    }
    if (!fresh) {
        // Gone from the disk since the scan, or no longer the folder the scan saw (a link now, or
        // reached through one): so it goes from the chart, as a refresh of its parent would drop it.
        const uint64_t size = folder->size;
        const std::string change = entryChange({ refreshPath, true, 0, scanRootLength(folder) });
        editTree(folder, false, folder->parent, [folder](FilesystemNode*) { return TreeEdit::detach(folder); });
        const bool gone = change.empty() || change == "it no longer exists";
        setNotice(name + (gone ? " no longer exists" : " is no longer the folder the scan saw (" + shownSentence(change) + ")")
                      + ": it was taken out of the chart (" + LabelText::sizeString(size) + ").",
                  true);
        return;
    }
    const uint64_t before = folder->size;
    const FilesystemNode* freshRoot = fresh.get();
    editTree(folder, true, folder, [&](FilesystemNode* root) {
        UniquePtr<FilesystemNode> old = TreeEdit::replaceContents(folder, std::move(fresh));
        TreeEdit::joinProblems(chartProblems, root, &freshProblems, freshRoot, folder);
        return old;
    });
    setNotice("Refreshed " + name + ": " + LabelText::sizeString(folder->size) + (folder->size == before ? ", unchanged" : ", was " + LabelText::sizeString(before))
                  + (freshProblems.unlistedNodes.empty() ? "." : ", " + std::to_string(freshProblems.unlistedNodes.size()) + " entries could not be read."),
              true);
}

template<typename Edit>
void AppGui::editTree(const FilesystemNode* changed, bool keepChanged, const FilesystemNode* anchor, Edit edit)
{
    // Where the chart's nodes go once the changed part is replaced: into its folder, or its parent.
    const FilesystemNode* lifted = keepChanged ? changed : changed->parent;
    IcicleVisualization::Placement placement = chart->placement(anchor);
    placement.focused = TreeEdit::liftOutOf(placement.focused, changed, lifted);
    placement.selected = TreeEdit::liftOutOf(placement.selected, changed, lifted);
    const bool hadKeyboardFocus = chart->hasKeyboardFocus();
    TreeEdit::forgetProblemsIn(chartProblems, changed, keepChanged);
    UniquePtr<FilesystemNode> tree = nodeLookup.takeTree();
    UniquePtr<FilesystemNode> removed = edit(tree.get());
    if (!keepChanged)
        TreeEdit::joinProblems(chartProblems, tree.get(), nullptr, nullptr, nullptr);
    else
        chartProblems.saturated = tree->size == saturatedSize;
    removed = nullptr;
    showChart(std::move(tree));
    if (!chart)
        return;
    chart->takePlacement(placement);
    if (hadKeyboardFocus)
        window.handle(content->focus(chart));
}

// [SECTION] Move to trash

bool AppGui::canTrash(const FilesystemNode* node) const
{
    // Never a scanned folder itself, nor anything of a stored scan (its paths may be another machine's).
    return chart && node && !isScanRoot(node) && !fromStoredScan(node) && !refreshing() && !trashJob && !scanning;
}

void AppGui::trashSelected()
{
    if (chart && chart->selectedNode())
        trash(chart->selectedNode());
}

void AppGui::trash(const FilesystemNode* node)
{
    if (!canTrash(node)) {
        // The bar's notice would be written over by a refresh's progress: the status line says it.
        if (const std::string busy = editUnderWay(); node && !busy.empty())
            setStatus("Nothing can be moved to the trash now: " + busy);
        else if (node && !node->parent)
            setNotice("The scanned folder itself cannot be moved to the trash.", true);
        else if (node && !chartImported.file.empty())
            setNotice("Items of a stored scan cannot be moved to the trash.", true);
        return;
    }
    setStatus({}); // a new action: the last one's line is stale
    trashJob = std::make_unique<TrashJob>(node, IcicleNodeLookup::nodePath(node), scanRootLength(node));
    std::string facts = sizeText(node->size);
    if (node->type == FilesystemNode::Type::DIRECTORY && detailsBar) {
        const TreeCounts::Counts counts = detailsBar->details().counts().below(node);
        facts += ", " + DetailsText::groupedNumber(counts.files) + (counts.files == 1 ? " file, " : " files, ")
            + DetailsText::groupedNumber(counts.folders) + (counts.folders == 1 ? " folder" : " folders");
    }
    showTrashQuestion(shown(node), facts, node->type == FilesystemNode::Type::DIRECTORY);
}

// The question over the chart: what, how large, and for a folder what it holds. Cancel has the
// focus, so Enter alone never moves anything.
void AppGui::showTrashQuestion(const std::string& path, const std::string& facts, bool folder)
{
    if (!chartModal)
        return;
    ConfirmationPanel::Text text { folder ? "Move this folder to the trash?" : "Move this file to the trash?",
                                   { path, facts }, "CANCEL", "MOVE TO TRASH" };
    const ConfirmationPanel::Looks looks { { buttonBackground, buttonLabel }, frameStyle, panelStyle, primaryTextStyle,
                                           secondaryTextStyle, outlineLightStyle };
    auto panel = makeUnique<ConfirmationPanel>(textFactory, text, looks, [this] { cancelTrash(); }, [this] { confirmTrash(); });
    Component* cancel = panel->cancelButton();
    window.handle(chartModal->show(std::move(panel), cancel, [this] { cancelTrash(); }, chart));
}

void AppGui::hideTrashQuestion()
{
    if (chartModal && chartModal->isShown())
        window.handle(chartModal->dismiss());
}

bool AppGui::trashQuestionShown() const { return chartModal && chartModal->isShown(); }

void AppGui::cancelTrash()
{
    hideTrashQuestion();
    if (trashJob && !trashJob->running())
        trashJob = nullptr;
}

// The confirm button's action: the move starts in a posted call, after the button's own call.
void AppGui::confirmTrash()
{
    hideTrashQuestion();
    window.post(&confirmTrashCallee);
}

void AppGui::startTrash()
{
    hideTrashQuestion();
    if (!trashJob || trashJob->running())
        return;
    const std::string change = entryChange(trashJob->entry);
    if (!change.empty()) {
        // Changed since the scan: nothing moves; its folder is offered for a refresh instead.
        const FilesystemNode* node = trashJob->node;
        trashJob = nullptr;
        reportFailure(shown(node) + " changed since the scan ("
                          + shownSentence(change) + "): nothing was moved. Press F5 to scan its folder again.",
                      false);
        if (chart)
            chart->select(node->parent);
        return;
    }
    setNotice("Moving " + shown(trashJob->node) + " to the trash\u2026", false);
    trashJob->start(window, &trashDoneCallee);
}

void AppGui::onTrashDone()
{
    if (!trashJob)
        return;
    trashJob->finish();
    const std::unique_ptr<TrashJob> job = std::move(trashJob);
    const FilesystemNode* node = job->node;
    const std::string name = shown(node);
    switch (job->result.outcome) {
    case TrashResult::Outcome::MOVED: {
        const uint64_t size = node->size;
        bytesFreed = saturatingAdd(bytesFreed, size);
        FilesystemNode* moved = mutableNode(node);
        editTree(node, false, node->parent, [moved](FilesystemNode*) { return TreeEdit::detach(moved); });
        setStatus({});
        setNotice("Moved " + name + " to the trash: " + sizeText(size) + ". Freed since Velbrin started: " + LabelText::sizeString(bytesFreed) + ".",
                  true);
        break;
    }
    case TrashResult::Outcome::REFUSED:
        reportFailure("Cannot move " + name + " to the trash: " + shownSentence(job->result.message) + ". Nothing was changed.", false);
        setNotice({}, false);
        break;
    case TrashResult::Outcome::PARTIAL:
        // Part of the folder moved: scan it again so the chart shows what is left. The refresh
        // starts first, since a new action clears the status line.
        refresh(node->type == FilesystemNode::Type::DIRECTORY ? node : node->parent);
        reportFailure("Moving " + name + " to the trash stopped part of the way: " + shownSentence(job->result.message)
                          + ". Its folder is scanned again to show what is left.",
                      false);
        break;
    }
    window.requestRedraw();
}
