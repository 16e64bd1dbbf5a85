// The controller's screens and the road of one scan: pick a directory, map it with the live
// preview and the progress texts, then lay the tree out into the chart.
#include "app/AppGui.h"

#include "app/AppWindow.h"
#include "app/ProgressText.h"
#include "app/ScanFanOut.h"
#include "app/StartPath.h"
#include "app/TrashJob.h"
#include "app/desktop/Desktop.h"
#include "app/desktop/FolderPicker.h"
#include "engine/window/KeyCodes.h"
#include "gui/Dimension.h"
#include "gui/Label.h"
#include "gui/StyledButton.h"
#include "gui/TextObject.h"
#include "gui/TextObjectFactory.h"
#include "gui/envelopes/BackgroundEnvelope.h"
#include "gui/envelopes/ClippedEnvelope.h"
#include "gui/envelopes/Disableable.h"
#include "gui/envelopes/FixedWidthEnvelope.h"
#include "gui/envelopes/MinHeightEnvelope.h"
#include "gui/envelopes/MouseOverComponent.h"
#include "gui/envelopes/RelayoutableEnvelope.h"
#include "gui/envelopes/app/CenteredComponent.h"
#include "gui/envelopes/app/ForegroundEnvelope.h"
#include "gui/envelopes/app/OverlaidComponents.h"
#include "gui/envelopes/app/PaddedEnvelope.h"
#include "gui/envelopes/app/ProportionalSizeEnvelope.h"
#include "gui/envelopes/app/ScaledEnvelope.h"
#include "gui/layouts/HorizontalLayout.h"
#include "gui/layouts/IslandLayouts.h"
#include "gui/layouts/ModalLayer.h"
#include "gui/layouts/TopIslandLayoutReverseDrawOrder.h"
#include "gui/layouts/VerticalLayout.h"
#include "icicle/IcicleMeshWrangler.h"
#include "icicle/components/CenteredTitle.h"
#include "icicle/components/ChartContextMenu.h"
#include "icicle/components/DetailsBar.h"
#include "icicle/components/IcicleVisualization.h"
#include "icicle/components/RootDirectoryLabel.h"
#include "icicle/components/ShellActions.h"
#include "icicle/components/VisualizationScrollBar.h"
#include "icicle/preview/IcicleVisualizationPreview.h"
#include "icicle/preview/PreviewBuilder.h"
#if VELBRIN_SCAN_FILES
#include "scanfile/ScanFileImporter.h"
#endif

#include <utility>


using namespace orvex;
using namespace orvex::gui;

namespace {

constexpr const char* HOMEPAGE_URL = "https://velbrin.app/velbrin/";
constexpr const char* SUPPORT_URL = "https://velbrin.app/velbrin/donate/";
constexpr const char* WINDOW_TITLE = "Velbrin Preview";
constexpr const char* TITLE_TEXT = "Velbrin"; // the start screen's title

UniquePtr<Component> padded(double left, double top, double right, double bottom, UniquePtr<Component> content)
{
    return makeUnique<::PaddedEnvelope>(Dimension { 0, left }, Dimension { 0, top }, Dimension { 0, right },
                                        Dimension { 0, bottom }, std::move(content));
}

// The byte count as the "Mapped" line shows it: a no-break space first, narrow no-break spaces
// inside, so the line never wraps between the number and its unit.
std::u32string bytesText(uint64_t bytes)
{
    std::u32string text = U"\u00A0";
    for (char c : formatByteCount(bytes))
        text.push_back(c == ' ' ? U'\u202F' : char32_t(c));
    return text;
}

} // namespace

// Opens and reveals what a double click on the chart names, through the desktop layer; nothing for
// a path that is not there (a chart read from another machine's scan, or a file deleted since).
class AppGui::ShellBridge final : public ShellActions {
public:
    void open(std::string_view path) override
    {
        if (pathExists(std::string(path)))
            openInShell(path);
    }
    void reveal(std::string_view path) override
    {
        if (pathExists(std::string(path)))
            revealInFileManager(path);
    }
    bool reachable(std::string_view path) override { return pathExists(std::string(path)); }
    void copyText(std::string_view text) override { Window::setClipboardText(text); }
};

UniquePtr<AppGui> AppGui::create(AppWindow& window, Settings& settings, IcicleResources& resources,
                                 TextObjectFactory& textFactory)
{
    auto* native = dynamic_cast<NativeTextObjectFactory*>(&textFactory);
    if (native && !native->checkFonts())
        return nullptr;
    UniquePtr<Mesh<GeometryVertex>> title = createTitleMesh(*resources.context, TITLE_TEXT);
    if (!title)
        return nullptr;
    UniquePtr<PreviewBuilder> preview = createPreviewBuilder(*resources.context);
    return UniquePtr<AppGui>(new AppGui(window, settings, resources, textFactory, std::move(title), std::move(preview)));
}

AppGui::AppGui(AppWindow& window, Settings& settings, IcicleResources& resources, TextObjectFactory& textFactory,
               UniquePtr<Mesh<GeometryVertex>> title, UniquePtr<PreviewBuilder> preview)
    : pickDirectoryCallee(this, &AppGui::pickDirectory), scanFinishedCallee(this, &AppGui::onScanFinished),
      pickedCallee(this, &AppGui::onPicked), messageBoxCallee(this, &AppGui::showPendingBox),
      refreshFinishedCallee(this, &AppGui::onRefreshFinished), trashDoneCallee(this, &AppGui::onTrashDone),
      confirmTrashCallee(this, &AppGui::startTrash), window(window),
      settings(settings), textFactory(textFactory), resources(resources), titleMesh(std::move(title)), preview(std::move(preview)),
      shell(makeUnique<ShellBridge>())
{
    auto fromLook = [&](const StyledButton::Look& look) {
        styles.push_back(StyledButton::makeStyle<Style>(look));
        return styles.back().get();
    };
    buttonBackground = fromLook(StyledButton::backgroundLook());
    buttonLabel = fromLook(StyledButton::labelLook());
    const Color<float> none { 0, 0, 0, 0 }, panel { 0.0625f, 0.0625f, 0.0625f, 1 };
    panelStyle = makeStyle(panel, none);
    chartBackgroundStyle = makeStyle({ 0.125f, 0, 0.125f, 1 }, none);
    shadeStyle = makeStyle({ 0, 0, 0, 0.125f }, none);
    frameStyle = makeStyle({ 0.75f, 0.625f, 0.75f, 1 }, none);
    primaryTextStyle = makeStyle({ 1, 1, 1, 1 }, panel);
    secondaryTextStyle = makeStyle({ 0.75f, 0.75f, 0.75f, 1 }, panel);
    failureTextStyle = makeStyle({ 1, 0.55f, 0.45f, 1 }, panel);
    outlineLightStyle = makeStyle({ 1, 1, 1, 1 }, none);
    outlineDarkStyle = makeStyle({ 0, 0, 0, 1 }, none);
    clearStyle = makeStyle(none, none);

    glyphWarmer = makeUnique<GlyphWarmer>();
    scanListener = makeUnique<ScanFanOut>(this->preview.get(), *glyphWarmer);
    mapper = makeUnique<FileSizeMapper>();
    mapper->setListener(scanListener.get());
#if VELBRIN_SCAN_FILES
    importer = makeUnique<ScanFileImporter>();
    mapper->setImporter(importer.get());
#endif
    auto holder = makeUnique<RelayoutableEnvelope>(startScreen());
    screenHolder = holder.get();
    content = std::move(holder);
    focusDirectoryButton();
}

AppGui::~AppGui()
{
    // An open picker first: its program is ended and its thread joined, so nothing calls back.
    // Then the screens (they point into the meshes), then the scanner (its worker feeds the
    // preview), then the lookup with the tree, the preview and the mesh.
    pick = nullptr;
    trashJob = nullptr; // a move under way is waited for: it must not post into a destroyed window
    content = nullptr;
    refresher = nullptr;
    mapper = nullptr;
    scanListener = nullptr;
    glyphWarmer = nullptr;
    nodeLookup.assign(nullptr, {});
    preview = nullptr;
}

const AppGui::Style* AppGui::makeStyle(Color<float> color, Color<float> background)
{
    ColorSet set;
    set.color = color;
    set.backgroundColor = background;
    styles.push_back(makeUnique<Style>(set));
    return styles.back().get();
}

UniquePtr<Component> AppGui::button(const char32_t* text, void (AppGui::*action)(), Disableable** disableable)
{
    auto styled = makeUnique<StyledButton>(textFactory, text, StyledButton::Styles { buttonBackground, buttonLabel, outlineLightStyle });
    styled->addAction(makeUnique<MemberFunctionCallee<AppGui, void>>(this, action));
    if (!disableable)
        return styled;
    auto wrapper = makeUnique<Disableable>(std::move(styled));
    *disableable = wrapper.get();
    return wrapper;
}

UniquePtr<Component> AppGui::label(const char32_t* text, double height, bool bold, const Style* style, Label** made)
{
    auto result = makeUnique<Label>(text, UniquePtr<TextObject>(textFactory.create(height, bold)), style, Label::Alignment { 1, 0 });
    if (made)
        *made = result.get();
    return result;
}

UniquePtr<Component> AppGui::startScreen()
{
    auto row = makeUnique<HorizontalLayout>();
    row->add(button(U"HOMEPAGE", &AppGui::openHomepage, &linkButtons[0]))
        .add(makeUnique<FixedWidthEnvelope>(Dimension { 0, 10 }))
        .add(button(U"SUPPORT THIS PROJECT", &AppGui::openSupportPage, &linkButtons[1]));
    auto column = makeUnique<VerticalLayout>();
    // The title centred on its own: a status line wider than it widens the column.
    column->add(makeUnique<CenteredComponent>(makeUnique<CenteredTitle>(
                    titleVertex(TITLE_TEXT), makeUnique<RootDirectoryLabel>(resources, RootLabelMesh::title(titleMesh.get())))))
        .add(label(U"Preview Version 0.2.0 by Dremmon", 20, false, primaryTextStyle))
        .add(padded(0, 12, 0, 12, label(U"Please check the HOMEPAGE for an official release.", 16, false, secondaryTextStyle)))
        .add(makeUnique<CenteredComponent>(makeUnique<ScaledEnvelope>(0.75, std::move(row))));
    auto select = makeUnique<VerticalLayout>();
    select->add(makeUnique<CenteredComponent>(
                    makeUnique<ScaledEnvelope>(1.25, button(U"SELECT DIRECTORY", &AppGui::postPickDirectory, &directoryButton))))
        .add(statusLine());
    return makeUnique<CenteredComponent>(
        padded(0, 0, 0, 64, makeUnique<BottomIslandLayout>(padded(0, 0, 0, 64, std::move(column)), std::move(select))));
}

UniquePtr<Component> AppGui::selectionScreen()
{
    auto column = makeUnique<VerticalLayout>();
    column->add(makeUnique<CenteredComponent>(
                    makeUnique<ScaledEnvelope>(1.25, button(U"SELECT DIRECTORY", &AppGui::postPickDirectory, &directoryButton))))
        .add(statusLine());
    return makeUnique<CenteredComponent>(std::move(column));
}

// The slot of the status line: empty (no height) until there is something to say.
UniquePtr<Component> AppGui::statusLine()
{
    auto slot = makeUnique<EnvelopePrototype>(statusContent());
    statusSlot = slot.get();
    return slot;
}

UniquePtr<Component> AppGui::statusContent()
{
    if (status.empty())
        return nullptr;
    auto text = makeUnique<Label>(fromUtf8(status), UniquePtr<TextObject>(textFactory.create(16, false)), failureTextStyle,
                                  Label::Alignment { 1, 0 });
    return padded(12, 12, 12, 4, std::move(text));
}

void AppGui::setStatus(std::string text)
{
    if (text == status)
        return;
    status = std::move(text);
    if (statusSlot)
        statusSlot->setContent(statusContent());
    window.handle(REDRAW | RELAYOUT_WIDTH | RELAYOUT_HEIGHT);
}

void AppGui::reportFailure(const std::string& text, bool box)
{
    setStatus(text);
    if (box) {
        pendingBox = text;
        window.requestRedraw(); // draw() posts the box after this frame
    }
}

// A message box holds the main thread until it is answered, so it comes after a frame that shows
// the status line; where no box can open, its text goes to standard error as well.
void AppGui::showPendingBox()
{
    boxPosted = false;
    const std::string text = std::exchange(pendingBox, std::string());
    if (!text.empty())
        Window::showMessage(Window::MESSAGE_ERROR, "Velbrin", text);
}

// Every label here has its own native text object and style, so new subtrees need no
// configuring by the renderer.
void AppGui::setScreen(UniquePtr<Component> screen)
{
    linkButtons[0] = linkButtons[1] = nullptr; // only the start screen has them, and it is never built again
    screenHolder->setContent(std::move(screen));
}

// While a picker is open, every button of the screen is disabled.
void AppGui::setButtonsDisabled(bool disabled)
{
    for (Disableable* button : { directoryButton, linkButtons[0], linkButtons[1] }) {
        if (!button)
            continue;
        button->resetInput();
        button->setDisabled(disabled);
    }
}

void AppGui::focusDirectoryButton()
{
    if (directoryButton)
        window.handle(content->focus(directoryButton));
}

void AppGui::postPickDirectory() { window.post(&pickDirectoryCallee); }
void AppGui::openHomepage() { openInShell(HOMEPAGE_URL); }
void AppGui::openSupportPage() { openInShell(SUPPORT_URL); }
void AppGui::cancelScan() { mapper->cancel(); }

void AppGui::pickDirectory()
{
    if (pick || scanning)
        return;
    setButtonsDisabled(true);
    setStatus({});
    window.requestRedraw();
    // The callback runs on the picker's thread; `pick` is destroyed before this object, and its
    // destructor guarantees no call after it returns.
    pick = FolderPick::start([this] { window.post(&pickedCallee); }, window.platformHandle());
}

void AppGui::onPicked()
{
    if (!pick)
        return;
    const FolderPickerAnswer answer = pick->answer();
    pick = nullptr;
    if (answer.result == FolderPickerResult::OKAY) {
        // The picked path is checked as a command-line one is: a FIFO or a folder removed since
        // says so instead of leaving the user on the same screen.
        const std::string problem = startPathProblem(answer.path);
        if (problem.empty()) {
            startMapping({ answer.path });
            return;
        }
        reportFailure("Cannot open " + answer.path + ": " + problem, false);
    } else if (answer.result == FolderPickerResult::ERROR) {
        reportFailure(answer.error.empty() ? std::string("The folder picker failed.") : answer.error, false);
    }
    // Cancelled or failed: the screen stays, its buttons usable again.
    setButtonsDisabled(false);
    focusDirectoryButton();
    window.requestRedraw();
}

void AppGui::startFromCommandLine(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths) {
#if VELBRIN_SCAN_FILES
        if (path == "-")
            continue; // standard input: whether it holds a stored scan shows when it is read
#endif
        const std::string problem = startPathProblem(path);
        if (!problem.empty()) {
            reportFailure("Cannot open " + path + ": " + problem, true);
            return;
        }
    }
    startMapping(paths);
}

void AppGui::buildFrame()
{
    auto rootSlot = makeUnique<EnvelopePrototype>();
    rootLabelSlot = rootSlot.get();
    auto change = padded(14, 24, 24, 24, makeUnique<CenteredComponent>(button(U"CHANGE DIRECTORY", &AppGui::postPickDirectory,
                                                                               &directoryButton)));
    directoryButton->setDisabled(true);
    auto barSlot = makeUnique<MinHeightEnvelope>(Dimension { 0, 16 });
    scrollBarSlot = barSlot.get();
    auto below = makeUnique<VerticalLayout>();
    below->add(statusLine()).add(std::move(barSlot));
    auto header = makeUnique<BottomIslandLayout>(makeUnique<RightIslandLayout>(std::move(rootSlot), std::move(change)),
                                                 std::move(below));
    auto chart = makeUnique<RelayoutableEnvelope>();
    chartSlot = chart.get();
    bytesLabel = progressLabel = nullptr;
    progressClip = nullptr;
    setScreen(makeUnique<TopIslandLayoutReverseDrawOrder>(std::move(header), std::move(chart)));
}

UniquePtr<Component> AppGui::scanningOverlay()
{
    UniquePtr<Component> back;
    if (preview) {
        back = makeUnique<ForegroundEnvelope>(
            chartBackgroundStyle, 11,
            makeUnique<ForegroundEnvelope>(shadeStyle, 1, padded(0, 1, 0, 0, makeUnique<IcicleVisualizationPreview>(resources, preview.get()))));
    } else {
        back = makeUnique<BackgroundEnvelope>(chartBackgroundStyle, padded(0, 1, 0, 0, nullptr));
    }
    auto mapped = makeUnique<LeftIslandLayout>(
        makeUnique<Label>(U"Mapped", UniquePtr<TextObject>(textFactory.create(20, false)), primaryTextStyle, Label::Alignment { 0, 0 }),
        makeUnique<Label>(UniquePtr<TextObject>(textFactory.create(20, true)), primaryTextStyle, Label::Alignment { 0, 0 }));
    bytesLabel = static_cast<Label*>(mapped->childComponent(1));
    auto progress = makeUnique<Label>(UniquePtr<TextObject>(textFactory.create(16, true)), secondaryTextStyle, Label::Alignment { 0, 0 });
    progressLabel = progress.get();
    auto clip = makeUnique<ClippedEnvelope>(std::move(progress));
    progressClip = clip.get();
    auto texts = makeUnique<TopIslandLayout>(padded(12, 12, 12, 12, std::move(mapped)), padded(12, 0, 12, 0, std::move(clip)));
    auto cancel = makeUnique<RightIslandLayout>(nullptr, padded(16, 16, 16, 16, button(U"CANCEL", &AppGui::cancelScan)));
    auto panel = makeUnique<BackgroundEnvelope>(
        frameStyle, padded(1, 1, 1, 1, makeUnique<BackgroundEnvelope>(panelStyle, makeUnique<BottomIslandLayout>(std::move(texts), std::move(cancel)))));
    auto sized = makeUnique<ProportionalSizeEnvelope>(ProportionalSizeEnvelope::Proportion { 320, 0.25 },
                                                      ProportionalSizeEnvelope::Proportion { 240, 0.25 }, Vector2 { 0.5, 0.5 },
                                                      std::move(panel));
    return makeUnique<OverlaidComponents>(std::move(back), padded(2, 2, 2, 2, std::move(sized)));
}

void AppGui::startMapping(std::vector<std::string> paths)
{
    // A refresh or a question about the old tree ends with it; a move already under way finishes.
    if (refreshing()) {
        refresher->cancel();
        refreshTarget = nullptr;
    }
    hideTrashQuestion();
    if (trashJob)
        trashJob->finish();
    trashJob = nullptr;
    setStatus({});
    mapper->setNodeBudget(nodeBudget(settings));
    mapper->mapPaths(std::move(paths));
    scanning = true;
    if (!rootLabelSlot || !scrollBarSlot || !chartSlot)
        buildFrame();
    if (preview) {
        // The preview's root label reaches across the whole chart, whatever the total so far.
        const PreviewBuilder::MeshHandle handle = preview->meshHandle();
        rootLabelSlot->setContent(
            makeUnique<RootDirectoryLabel>(resources, RootLabelMesh { handle.mesh, handle.rootLabelCount, handle.totalSize, {} }));
    } else {
        rootLabelSlot->setContent(nullptr);
    }
    scrollBarSlot->setContent(nullptr);
    detailsBar = nullptr;
    chartSlot->setContent(nullptr);
    chart = nullptr;
    chartMenu = nullptr;
    chartModal = nullptr;
    focusLabel = {};
    showScannedPathInTitle({});
    mesh = {};
    nodeLookup.assign(nullptr, {});
    if (!bytesLabel || !progressLabel) {
        chartSlot->setContent(scanningOverlay());
    }
    bytesLabel->setText(U"\u00A0" U"0" U"\u202F" U"B");
    window.handle(REDRAW | RELAYOUT_WIDTH | RELAYOUT_HEIGHT);
}

Response AppGui::draw(Renderer& renderer)
{
    Response answer = 0;
    if (!pendingBox.empty() && !boxPosted) {
        boxPosted = true;
        window.post(&messageBoxCallee);
    }
    if (scanning) {
        std::string path;
        uint64_t bytes = 0, rootNameLength = 0;
        bool levelsLeftOut = false;
        const ScanState state = mapper->getProgress(path, bytes, rootNameLength, progressLevels(), levelsLeftOut);
        if (state != SCANNING) {
            scanning = false;
            if (progressLabel)
                progressLabel->setText(state == FINISHED ? U"Preparing visualization..." : U"Canceling...");
            window.post(&scanFinishedCallee);
        } else if (progressLabel) {
            progressLabel->setText(fromUtf8(progressText(path, rootNameLength, levelsLeftOut)));
        }
        if ((state == SCANNING || state == FINISHED) && bytesLabel)
            bytesLabel->setText(bytesText(bytes));
        if ((state == SCANNING || state == FINISHED) && preview)
            preview->refresh();
        // The texts changed: lay them out before drawing them.
        window.handle(RELAYOUT_WIDTH | RELAYOUT_HEIGHT);
        answer |= REDRAW;
    }
    if (refreshing()) {
        pollRefresh();
        answer |= REDRAW;
    }
    return answer | EnvelopePrototype::draw(renderer);
}

// The levels below the root that the progress text can show in the room its panel gives it, by the
// line height of the text last laid out, so a deep walk costs a frame no more than a shallow one.
size_t AppGui::progressLevels() const
{
    if (!progressClip || !progressLabel || !progressLabel->textObject)
        return 8;
    TextObject& text = *progressLabel->textObject;
    const int64_t lines = text.layout().lineCount();
    const double lineHeight = lines > 0 ? text.bounds().height() / double(lines) : 0;
    return progressLevelsThatFit(progressClip->room.y, lineHeight > 0 ? lineHeight : 20);
}

void AppGui::warmUp(Renderer& renderer)
{
    // The overlay's two blends, as ForegroundEnvelope draws them over the preview.
    const int saved = renderer.blendMode;
    for (const auto& [mode, style] : { std::pair { 1, shadeStyle }, std::pair { 11, chartBackgroundStyle } }) {
        renderer.blendMode = mode;
        renderer.fillRectangle({ 0, 0, 1, 1 }, 0, style);
    }
    renderer.blendMode = saved;
    if (preview)
        IcicleVisualizationPreview::warmUp(resources);
}

Response AppGui::keyPress(const KeyEvent& event)
{
    if (event.key == KEY_ESCAPE) {
        // A question over the chart, then an open chart menu take Escape to close; then a refresh
        // is cancelled; otherwise it cancels a scan, as it always has.
        if (trashQuestionShown()) {
            cancelTrash();
            return HANDLED | REDRAW;
        }
        if (chartMenu && chartMenu->isOpen())
            return chartMenu->close();
        if (refreshing()) {
            cancelRefresh();
            return HANDLED | REDRAW;
        }
        mapper->cancel();
        return HANDLED;
    }
    if (chartShown() && !trashQuestionShown() && !(chartMenu && chartMenu->isOpen())) {
        if (event.key == KEY_F5) {
            refreshChosen();
            return HANDLED | REDRAW;
        }
        if (event.key == KEY_DELETE && chart && chart->hasKeyboardFocus()) {
            trashSelected();
            return HANDLED | REDRAW;
        }
    }
    return EnvelopePrototype::keyPress(event);
}

void AppGui::onScanFinished()
{
    UniquePtr<FilesystemNode> tree = mapper->takeResult();
    const ScanProblems problems = mapper->problems();
    const ImportedScan imported = mapper->imported();
    bytesLabel = progressLabel = nullptr;
    progressClip = nullptr;
    if (!tree) {
        // A stored scan that cannot be read says so, naming the file; no partial chart is shown.
        if (!problems.importFailure.empty())
            reportFailure("Cannot open " + problems.importFailure, true);
        rootLabelSlot = scrollBarSlot = nullptr;
        chartSlot = nullptr;
        setScreen(selectionScreen());
        focusDirectoryButton();
        window.handle(REDRAW | RELAYOUT_WIDTH | RELAYOUT_HEIGHT);
        return;
    }
    chartProblems = problems;
    chartImported = imported;
    if (const std::string leftOut = describeLeftOut(problems.leftOut); !leftOut.empty())
        setStatus("Left out, as already counted: " + leftOut);
    if (chartSlot)
        showChart(std::move(tree));
    window.requestRedraw();
}

void AppGui::showChart(UniquePtr<FilesystemNode> tree)
{
    // The old chart's components point into the mesh and the lookup: they go first.
    chart = nullptr;
    chartMenu = nullptr;
    chartModal = nullptr;
    detailsBar = nullptr;
    chartSlot->setContent(nullptr);
    scrollBarSlot->setContent(nullptr);
    rootLabelSlot->setContent(nullptr);
    focusLabel = {};
    mesh = {};
    const uint64_t minimum = tree->size < 1048576 ? 1 : tree->size >> 20;
    const std::string caption = rootCaption(tree->name.view(), chartImported, chartProblems);
    // Unreadable nodes are hatched in the chart.
    IcicleOptimization::Marks marks;
    marks.unreadableNodes = &chartProblems.unlistedNodes;
    mesh = IcicleMeshWrangler::createOptimizedMesh(nodeLookup, resources.context, std::move(tree), minimum, caption, marks);
    UniquePtr<IcicleVisualization> visualization;
    if (mesh.mesh) {
        visualization = makeUnique<IcicleVisualization>(resources, mesh, nodeLookup, settings, *shell);
        rootLabelSlot->setContent(makeUnique<RootDirectoryLabel>(resources, RootLabelMesh::rootOf(mesh)));
    }
    auto bar = makeUnique<VisualizationScrollBar>(buttonBackground);
    if (visualization)
        visualization->setScrollBar(bar.get());
    scrollBarSlot->setContent(makeUnique<MouseOverComponent>(std::move(bar)));
    directoryButton->setDisabled(false);
    IcicleVisualization* visible = visualization.get();
    chartSlot->setContent(chartWithDetails(
        makeUnique<BackgroundEnvelope>(chartBackgroundStyle, padded(0, 1, 0, 0, chartLayer(std::move(visualization)))), visible,
        chartProblems));
    if (nodeLookup.root())
        showScannedPathInTitle(nodeLookup.root()->name.view());
    focusDirectoryButton();
    window.handle(REDRAW | RELAYOUT_WIDTH | RELAYOUT_HEIGHT);
}

// The chart with its selection frame and its context menu; the root label follows the focus.
UniquePtr<Component> AppGui::chartLayer(UniquePtr<IcicleVisualization> visualization)
{
    chart = visualization.get();
    chartMenu = nullptr;
    if (!chart)
        return nullptr;
    chartModal = nullptr;
    chart->setOutlineStyles(outlineLightStyle, outlineDarkStyle);
    chart->focusListeners().append(makeUnique<MemberFunctionCallee<AppGui, void>>(this, &AppGui::chartFocusChanged));
    const ChartContextMenu::Looks looks { { clearStyle, buttonLabel }, buttonBackground, frameStyle, panelStyle, outlineLightStyle };
    auto layer = makeUnique<ChartContextMenu>(std::move(visualization), *chart, *shell, textFactory, looks);
    chartMenu = layer.get();
    chartMenu->setTreeActions(this);
    auto modal = makeUnique<ModalLayer>(std::move(layer));
    modal->shade = shadeStyle;
    chartModal = modal.get();
    return modal;
}

// The root label names the focused folder and its size; at the whole tree, the scan's own caption.
void AppGui::chartFocusChanged()
{
    if (!chart || !rootLabelSlot)
        return;
    const FilesystemNode* focused = chart->focusedNode();
    if (!focused || focused == nodeLookup.root()) {
        rootLabelSlot->setContent(makeUnique<RootDirectoryLabel>(resources, RootLabelMesh::rootOf(mesh)));
        focusLabel = {};
    } else {
        CaptionMesh caption = createCaptionMesh(*resources.context, IcicleNodeLookup::nodePath(focused), focused->size, &mesh);
        // The new label goes in before the old mesh it may still point at is released.
        rootLabelSlot->setContent(caption.mesh ? makeUnique<RootDirectoryLabel>(resources, caption.label()) : nullptr);
        focusLabel = std::move(caption);
    }
    window.handle(REDRAW | RELAYOUT_WIDTH | RELAYOUT_HEIGHT); // the new label has not been laid out
}

// [SECTION] The details bar and the window's title

UniquePtr<Component> AppGui::chartWithDetails(UniquePtr<Component> chart, IcicleVisualization* visualization,
                                              const ScanProblems& problems)
{
    if (!visualization)
        return chart;
    // The counts pass runs here, once per finished tree.
    DetailsText details(nodeLookup.root(), problems);
    details.noteStoredScans(chartImported);
    auto bar = makeUnique<DetailsBar>(textFactory, 15, secondaryTextStyle, *visualization, std::move(details),
                                      [this] { window.requestRedraw(); });
    detailsBar = bar.get();
    return makeUnique<BottomIslandLayout>(std::move(chart),
                                          makeUnique<BackgroundEnvelope>(panelStyle, padded(12, 6, 12, 6, std::move(bar))));
}

const std::string& AppGui::detailsText() const
{
    static const std::string none;
    return detailsBar && chartShown() ? detailsBar->text() : none;
}

// "usr — Velbrin Preview" while a chart of /usr is shown; the plain name otherwise. A right-to-left
// name is isolated, so the title still reads name, dash, program from the left.
void AppGui::showScannedPathInTitle(std::string_view scannedPath)
{
    const std::string title = scannedPath.empty()
        ? std::string(WINDOW_TITLE)
        : toUtf8(DetailsText::isolateNames(DetailsText::displayText(DetailsText::lastComponent(scannedPath)))) + " \u2014 "
            + WINDOW_TITLE;
    window.setTitle(windowLayerTitle(window.platformHandle(), title));
    showUtf8Title(window.platformHandle(), title);
}
