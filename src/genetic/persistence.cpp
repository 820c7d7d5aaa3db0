// UnloadPop, ReloadPop and GetSchema.
#include "genetic/persistence.h"
#include "genetic/supervisor_ops.h"

#include "data/cell_types.h"
#include "data/counted_text.h"
#include "genetic/next_generation.h"
#include "genetic/population.h"
#include "genetic/supervisor_release.h"
#include "genetic/supervisor_state.h"

#include <cstring>

namespace {

constexpr CountedText kNoPopulationUnload("Call InitPop before UnloadPop");
constexpr CountedText kUnloadMemory10("Insufficient memory in Genetic Supervisor (10).");
constexpr CountedText kUnloadMemory11("Insufficient memory in Genetic Supervisor (11).");
constexpr CountedText kNoPopulationGetSchema("Call InitPop before GetSchema");
constexpr CountedText kBadSelector("Bad selector in GetSchema");
constexpr CountedText kBadColumnString("Bad column string in GetSchema");

// Reads the population column element by element, refusing anything that is not what the
// column format puts there.
class ColumnReader {
  public:
    explicit ColumnReader(const XLOPER* cells) : cells_(cells) {}

    bool Number(int32_t k, double& out) const {
        if (cells_[k].xltype != xltypeNum) return false;
        out = cells_[k].val.num;
        return true;
    }
    bool Integer(int32_t k, int32_t& out) const {
        double x = 0.0;
        return Number(k, x) && CheckedTrunc32(x, out);
    }
    const unsigned char* MaskText(int32_t k) const {
        if (cells_[k].xltype != xltypeStr || !cells_[k].val.str) return nullptr;
        unsigned char count = cells_[k].val.str[0];
        return count >= 64 && count <= 66 ? cells_[k].val.str : nullptr;
    }

  private:
    const XLOPER* cells_;
};

bool ReadSettings(const ColumnReader& in, SupervisorSettings& s) {
    bool ok = in.Number(0, s.inclusionProbability) && in.Integer(1, s.candidateInputs) &&
              in.Integer(2, s.outputColumns) && in.Integer(3, s.totalRows) &&
              in.Integer(4, s.window) && in.Integer(5, s.patternStep) &&
              in.Integer(6, s.blankRows) && in.Integer(7, s.blankPatternRows) &&
              in.Integer(8, s.maxLayers) && in.Integer(9, s.maxHidden[0]) &&
              in.Integer(10, s.maxHidden[1]) && in.Integer(11, s.maxHidden[2]) &&
              in.Integer(12, s.maxHidden[3]) && in.Number(13, s.minLearningRate) &&
              in.Number(14, s.maxMomentum) && in.Number(15, s.maxNoise) &&
              in.Integer(16, s.calcMethod);
    if (!ok) return false;
    // The mask has 256 bits: more candidates could not be switched on, and the mask walks
    // would run past it.
    return s.inclusionProbability > 0.0 && s.inclusionProbability <= 1.0 &&
           s.candidateInputs >= 1 && s.candidateInputs <= kMaskBits && s.maxLayers >= 2 &&
           s.maxLayers <= 6 && s.maxHidden[0] >= 0 && s.maxHidden[1] >= 0 && s.maxHidden[2] >= 0 &&
           s.maxHidden[3] >= 0 && InRange(s.minLearningRate, 0.0, 1.0) &&
           InRange(s.maxMomentum, 0.0, 1.0) && InRange(s.maxNoise, 0.0, 0.1);
}

// Reads the header; its population size goes to `size`, not into the header, whose size must
// keep matching the records that exist.
bool ReadHeader(const ColumnReader& in, PopulationHeader& h, int32_t& size) {
    bool ok = in.Integer(17, h.generation) && in.Integer(18, h.currentSchema) &&
              in.Integer(19, h.schemaState) && in.Number(20, h.bestError) &&
              in.Integer(21, h.bestEpochs) && in.Integer(22, size) &&
              in.Integer(23, h.breedMethod) && in.Number(24, h.crossoverRate) &&
              in.Number(25, h.mutationRate) && in.Integer(26, h.trainMode) &&
              in.Number(27, h.goal) && in.Number(28, h.trainTolerance) &&
              in.Number(29, h.testTolerance) && in.Integer(30, h.useSeed) &&
              in.Number(31, h.weightSeed) && in.Number(32, h.weightRange);
    if (!ok) return false;
    return h.generation >= 1 && size >= 1 && size <= kMaxPopulationSize && h.currentSchema >= 1 &&
           h.currentSchema <= size && h.bestError >= 0.0 && h.bestEpochs >= 0 &&
           h.breedMethod >= 1 && h.breedMethod <= 3 && InRange(h.crossoverRate, 0.0, 10.0) &&
           InRange(h.mutationRate, 0.0, 1.0) && h.trainMode >= 1 && h.trainMode <= 4 &&
           h.goal >= 0.0;
}

bool ReadSchema(const ColumnReader& in, int32_t first, SchemaRecord& s) {
    const unsigned char* text = in.MaskText(first);
    if (!text) return false;
    TextToMask(text, s.inputMask);
    return in.Integer(first + 1, s.layerCount) && in.Integer(first + 2, s.hiddenSize[0]) &&
           in.Integer(first + 3, s.hiddenSize[1]) && in.Integer(first + 4, s.hiddenSize[2]) &&
           in.Integer(first + 5, s.hiddenSize[3]) && in.Number(first + 6, s.learningRate) &&
           in.Number(first + 7, s.momentum) && in.Number(first + 8, s.noise) &&
           in.Integer(first + 9, s.transferCode) && in.Number(first + 10, s.gain) &&
           in.Integer(first + 11, s.prune) && in.Number(first + 12, s.threshold) &&
           in.Integer(first + 13, s.autoRate) && in.Number(first + 14, s.margin) &&
           in.Number(first + 15, s.error) && in.Integer(first + 16, s.epochs);
}

// Keeps the names of the switched-on candidate columns of the caller's comma-separated list,
// rewriting the caller's text in place. Never reads or writes past its count.
void KeepMaskedNames(unsigned char* text, const uint8_t* mask, int32_t candidates) {
    unsigned char copy[256];
    int32_t count = text[0];
    std::memcpy(copy, text, size_t(count) + 1);
    const unsigned char* from = copy + 1;
    unsigned char* to = text + 1;
    int32_t r = 0;
    int32_t w = 0;
    for (int32_t k = 0; k < candidates && k < kMaskBits; ++k) {
        bool keep = MaskBit(mask, k);
        while (r < count && from[r] != ',') {
            if (keep) to[w++] = from[r];
            ++r;
        }
        if (r < count) {
            if (keep) to[w++] = ',';
            ++r;
        }
    }
    if (w > 0 && to[w - 1] == ',') to[--w] = 0;
    text[0] = static_cast<unsigned char>(w);
}

} // namespace

void MaskToText(const uint8_t* mask, unsigned char* text) {
    text[0] = 64;
    for (int32_t i = 0; i < kMaskBytes; ++i) {
        text[1 + 2 * i] = static_cast<unsigned char>(64 + mask[i] % 16);
        text[2 + 2 * i] = static_cast<unsigned char>(64 + mask[i] / 16);
    }
    text[65] = 0;
}

void TextToMask(const unsigned char* text, uint8_t* mask) {
    for (int32_t i = 0; i < kMaskBytes; ++i)
        mask[i] = static_cast<uint8_t>(text[2 * i + 1] % 16 + 16 * (text[2 * i + 2] % 16));
}

CellsAnswer UnloadPopulation() {
    if (!PopulationExists() || !SupervisorExists()) return Refusal(kNoPopulationUnload.bytes);
    int32_t size = gSuper.schemaCount;
    int32_t rows = kColumnHeadElements + kSchemaElements * size;

    FreePinnedBlock(gSuper.unloadArray);
    gSuper.unloadCells = nullptr;
    gSuper.unloadArray = GlobalBlockAlloc(sizeof(XLOPER) * size_t(rows));
    if (!gSuper.unloadArray) return Refusal(kUnloadMemory10.bytes);
    gSuper.unloadCells = static_cast<XLOPER*>(GlobalBlockLock(gSuper.unloadArray));

    FreePinnedBlock(gSuper.unloadMaskTexts);
    gSuper.unloadTexts = nullptr;
    gSuper.unloadMaskTexts = GlobalBlockAlloc(size_t(kMaskTextBytes) * size_t(size));
    if (!gSuper.unloadMaskTexts) return Refusal(kUnloadMemory11.bytes);
    gSuper.unloadTexts = static_cast<unsigned char*>(GlobalBlockLock(gSuper.unloadMaskTexts));

    LockedBlock<const SupervisorSettings> s(gSuper.settings);
    LockedBlock<const PopulationHeader> h(gSuper.header);
    LockedBlock<const SchemaRecord> schemas(gSuper.schemas);
    XLOPER* cell = gSuper.unloadCells;
    const double settingsValues[kSettingsElements] = {
        s->inclusionProbability,  double(s->candidateInputs),
        double(s->outputColumns), double(s->totalRows),
        double(s->window),        double(s->patternStep),
        double(s->blankRows),     double(s->blankPatternRows),
        double(s->maxLayers),     double(s->maxHidden[0]),
        double(s->maxHidden[1]),  double(s->maxHidden[2]),
        double(s->maxHidden[3]),  s->minLearningRate,
        s->maxMomentum,           s->maxNoise,
        double(s->calcMethod)};
    const double headerValues[kHeaderElements] = {double(h->generation),
                                                  double(h->currentSchema),
                                                  double(h->schemaState),
                                                  h->bestError,
                                                  double(h->bestEpochs),
                                                  double(h->populationSize),
                                                  double(h->breedMethod),
                                                  h->crossoverRate,
                                                  h->mutationRate,
                                                  double(h->trainMode),
                                                  h->goal,
                                                  h->trainTolerance,
                                                  h->testTolerance,
                                                  double(h->useSeed),
                                                  h->weightSeed,
                                                  h->weightRange};
    for (double v : settingsValues)
        SetNumberCell(*cell++, v);
    for (double v : headerValues)
        SetNumberCell(*cell++, v);
    for (int32_t i = 0; i < size; ++i) {
        const SchemaRecord& r = schemas[size_t(i)];
        unsigned char* text = gSuper.unloadTexts + size_t(kMaskTextBytes) * size_t(i);
        MaskToText(r.inputMask, text);
        SetTextCell(*cell++, text);
        const double values[kSchemaElements - 1] = {double(r.layerCount),
                                                    double(r.hiddenSize[0]),
                                                    double(r.hiddenSize[1]),
                                                    double(r.hiddenSize[2]),
                                                    double(r.hiddenSize[3]),
                                                    r.learningRate,
                                                    r.momentum,
                                                    r.noise,
                                                    double(r.transferCode),
                                                    r.gain,
                                                    double(r.prune),
                                                    r.threshold,
                                                    double(r.autoRate),
                                                    r.margin,
                                                    r.error,
                                                    double(r.epochs)};
        for (double v : values)
            SetNumberCell(*cell++, v);
    }

    return ColumnOf(gSuper.unloadCells, rows);
}

const char* ReloadPopulation(XLOPER* column) {
    if (!column || column->xltype != xltypeMulti || column->val.array.rows < kColumnHeadElements ||
        column->val.array.columns != 1 || !column->val.array.lparray)
        return "Bad structure in ReloadPop";
    if (!SupervisorExists()) return "Call InitSuper before ReloadPop";
    ColumnReader in(column->val.array.lparray);
    int32_t rows = column->val.array.rows;

    {
        LockedBlock<SupervisorSettings> settings(gSuper.settings);
        if (!ReadSettings(in, *settings)) return "Bad data in ReloadPop";
    }
    if (!gSuper.header) {
        gSuper.header = GlobalBlockAlloc(sizeof(PopulationHeader));
        if (!gSuper.header) {
            ReleasePopulation();
            return "Insufficient memory in Genetic Supervisor (12).";
        }
    }
    int32_t headerSize = 0;
    bool headerRead = false;
    {
        LockedBlock<PopulationHeader> header(gSuper.header);
        headerRead = ReadHeader(in, *header, headerSize);
        header->populationSize = gSuper.schemaCount;
    }
    if (!headerRead) {
        // A header made for this reload has no records behind it.
        if (!gSuper.schemas) ReleasePopulation();
        return "Bad data in ReloadPop";
    }

    int32_t count = headerSize;
    if (rows != kColumnHeadElements + kSchemaElements * headerSize) {
        if ((rows - kColumnHeadElements) % kSchemaElements != 0) {
            if (!gSuper.schemas) ReleasePopulation();
            return "Bad data in ReloadPop";
        }
        count = (rows - kColumnHeadElements) / kSchemaElements;
    }
    if (count < 1) {
        if (!gSuper.schemas) ReleasePopulation();
        return "Bad data in ReloadPop";
    }

    GlobalBlockFree(gSuper.schemas);
    gSuper.schemas = nullptr;
    gSuper.schemaCount = 0;
    gSuper.schemas = GlobalBlockAlloc(sizeof(SchemaRecord) * size_t(count));
    if (!gSuper.schemas) {
        ReleasePopulation();
        return "Insufficient memory in Genetic Supervisor (12).";
    }
    gSuper.schemaCount = count;

    LockedBlock<PopulationHeader> header(gSuper.header);
    header->populationSize = count;
    if (header->currentSchema > count) header->currentSchema = count;
    LockedBlock<SchemaRecord> schemas(gSuper.schemas);
    int32_t read = headerSize < count ? headerSize : count;
    for (int32_t i = 0; i < read; ++i)
        if (!ReadSchema(in, kColumnHeadElements + kSchemaElements * i, schemas[size_t(i)]))
            return "Bad data in ReloadPop";
    LockedBlock<const SupervisorSettings> settings(gSuper.settings);
    for (int32_t i = read; i < count; ++i)
        NewRandomSchema(schemas[size_t(i)], *settings);
    return "OK";
}

CellsAnswer SchemaDescription(XLOPER* columnNames, int16_t selector) {
    if (!PopulationExists() || !SupervisorExists()) return Refusal(kNoPopulationGetSchema.bytes);
    LockedBlock<PopulationHeader> header(gSuper.header);
    LockedBlock<const SchemaRecord> schemas(gSuper.schemas);
    LockedBlock<const SupervisorSettings> settings(gSuper.settings);
    int32_t size = gSuper.schemaCount;
    if (selector > size) return Refusal(kBadSelector.bytes);

    BestSchema best = FindBestSchema(schemas.get(), size, header->trainMode);
    header->bestEpochs = best.epochs;
    header->bestError = best.error;
    int32_t shown = selector == 0 ? best.index : selector > 0 ? selector - 1 : 0;
    const SchemaRecord& s = schemas[size_t(shown)];

    if (!columnNames || columnNames->xltype != xltypeStr || !columnNames->val.str)
        return Refusal(kBadColumnString.bytes);
    unsigned char* names = columnNames->val.str;
    KeepMaskedNames(names, s.inputMask, settings->candidateInputs);

    XLOPER* cells = gSuper.schemaCells;
    SetTextCell(cells[0], names);
    const double values[11] = {double(CountMaskBits(s.inputMask)),
                               double(s.layerCount),
                               double(s.hiddenSize[0]),
                               double(s.hiddenSize[1]),
                               double(s.hiddenSize[2]),
                               double(s.hiddenSize[3]),
                               s.learningRate,
                               s.momentum,
                               s.noise,
                               s.error,
                               double(s.epochs)};
    for (int32_t i = 0; i < 11; ++i)
        SetNumberCell(cells[i + 1], values[i]);
    return ColumnOf(cells, kSchemaCells);
}
