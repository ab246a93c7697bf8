#include "cli/device_command.h"

#include <CLI/CLI.hpp>
#include <map>
#include <optional>
#include <ostream>
#include <utility>

#include "cli/failure.h"
#include "cli/json_output.h"
#include "device/device_entry.h"
#include "device/filter_entry.h"
#include "device/material_file.h"
#include "engine/errors.h"
#include "engine/working_folder.h"

namespace korvex::cli {
namespace {

void AddRequired(CLI::App* create, const Help& help, const char* name, std::string& value,
                 const Said& said) {
    create->add_option(name, value, help(said))->required();
}

// The arbitrary filter of `device create`, "material:thickness in mm", set as the filter
// dialog sets it: the material chosen from the working folder's files, the thickness typed.
void SetFilterFromOption(EngineState& state, FilterEntry& filter, const std::string& option) {
    const size_t colon = option.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        throw UsageError("--filter は 材質:厚さ(mm) の形で指定して下さい (例 lead:0.1)。");
    }
    const std::string file_name = MaterialFileName(option.substr(0, colon));
    // The material file is an input file: one that cannot be read is that kind of failure,
    // not a refused value. The rules on the thickness are the filter dialog's.
    try {
        ReadMaterialFile(FileInFolder(state.working_folder, file_name), file_name);
    } catch (const FileError& error) {
        throw InputFileFailure(error.what(), file_name);
    }
    filter.SetThicknessText(option.substr(colon + 1));
    if (const RuleOutcome set = filter.Set(file_name); !set) {
        throw UsageError(set.refusal.text);
    }
}

// The dialog's mattress box is closed for the layer model: a mattress given for it is a
// mistake on the command line, said before anything is read.
void RefuseMattressWithoutTableTop(const DeviceOptions& o) {
    if (o.mattress_given && o.couch != CouchModel::TableTop) {
        throw UsageError("--mattress は --couch table-top と共に指定して下さい。");
    }
}

// The couch choice as the dialog's: the model, and the mattress box when given.
void SetCouch(DeviceEntry& entry, const DeviceOptions& o) {
    entry.SetCouchModel(o.couch);
    if (o.mattress_given) {
        entry.SetMattressText(o.mattress);
    }
}

Json CreatedJson(const CalculationCase& calc, const std::string& file_name) {
    Json json;
    json["CouchTransmission"] = JsonNumber(calc.CouchTransmission);
    json["KermaCorrectionFactor"] = JsonNumber(calc.KermaCorrectionFactor);
    json["CouchEquivalentThickness"] = JsonNumber(calc.CouchEquivalentThickness);
    json["CouchModel"] = CouchModelKey(calc.Couch);
    if (calc.Couch == CouchModel::TableTop) {
        json["MattressThickness"] = JsonNumber(calc.MattressThickness);
    }
    json["File"] = file_name;
    return json;
}

void AddCouchOptions(CLI::App* create, const Help& help, DeviceOptions& o) {
    std::map<std::string, CouchModel> keys;
    for (const CouchModel model : kCouchModels) {
        keys.emplace(std::string(CouchModelKey(model)), model);
    }
    create
        ->add_option("--couch", o.couch,
                     help({"天板モデル: layer (組織等価層、既定: 天板に密着させて透過率を測定) "
                           "または table-top (天板＋マット: マットの上で透過率を測定)",
                           "couch model: layer (a tissue layer, the default: transmission "
                           "measured on the couch top) or table-top (table top and mattress: "
                           "transmission measured on the mattress)"}))
        ->transform(CLI::CheckedTransformer(keys));
    create
        ->add_option("--mattress", o.mattress,
                     help({"マットの厚さ (cm、--couch table-top のみ、既定 4)",
                           "mattress thickness (cm, --couch table-top only, default 4)"}))
        ->each([&o](const std::string&) { o.mattress_given = true; });
}

}  // namespace

void AddDeviceCommand(CLI::App& app, const Help& help, DeviceOptions& o) {
    CLI::App* device = app.add_subcommand(
        "device", help({"装置データファイルを扱います", "work with device data files"}));
    device->require_subcommand(1);
    CLI::App* create = device->add_subcommand(
        "create", help({"測定値から装置データファイル (.kvx2) を作成し、校正値を JSON で出力します",
                        "make a device data file (.kvx2) from measurements and print the "
                        "calibration values as JSON"}));
    AddRequired(create, help, "--name", o.name,
                {"Ｘ線室または装置の名称 (ファイル名 NAME.kvx2)",
                 "name of the room or unit (file NAME.kvx2)"});
    AddRequired(create, help, "--frd", o.receptor,
                {"焦点-受像器間距離 (cm)", "focus-receptor distance (cm)"});
    AddRequired(create, help, "--fid", o.isocentre,
                {"焦点-アイソセンター間距離 (cm)", "focus-isocentre distance (cm)"});
    AddRequired(create, help, "--angle", o.angle,
                {"Ｘ線管ターゲット角度 (度)", "anode angle (degrees)"});
    AddRequired(create, help, "--inherent", o.inherent,
                {"固有フィルタ Al 当量 (mm)", "inherent filtration, mm Al equivalent"});
    AddRequired(create, help, "--al", o.aluminium,
                {"付加フィルタ アルミ (mm)", "added aluminium (mm)"});
    AddRequired(create, help, "--cu", o.copper, {"付加フィルタ 銅 (mm)", "added copper (mm)"});
    create->add_option("--filter", o.filter,
                       help({"任意フィルター: 材質ファイル名 (.ele なし) と厚さ (mm)、例 lead:0.1",
                             "filter of a chosen material: material file name (without .ele) "
                             "and thickness (mm), e.g. lead:0.1"}));
    AddRequired(create, help, "--kv", o.kv,
                {"通常使用する管電圧 (kV)", "typical tube voltage (kV)"});
    AddRequired(create, help, "--k0", o.k0,
                {"アイソセンターの実測空気カーマ 天板なし (mGy)",
                 "air kerma measured at the isocentre without the couch (mGy)"});
    AddRequired(create, help, "--k1", o.k1,
                {"アイソセンターの実測空気カーマ 天板あり (mGy)",
                 "air kerma measured at the isocentre with the couch (mGy)"});
    AddRequired(create, help, "--kd", o.kd,
                {"同じ照射で装置に表示された Ka,r (mGy)",
                 "Ka,r the unit displayed for the same exposure (mGy)"});
    AddCouchOptions(create, help, o);
}

int RunDeviceCreate(const DeviceOptions& o, const CommonOptions& common, std::ostream& out) {
    RefuseMattressWithoutTableTop(o);
    EngineState state = LoadState(common);
    DeviceEntry entry(state);
    const std::pair<DeviceField, const std::string&> typed[] = {
        {DeviceField::DeviceName, o.name},
        {DeviceField::FocusReceptorDistance, o.receptor},
        {DeviceField::FocusIsocentreDistance, o.isocentre},
        {DeviceField::TargetAngle, o.angle},
        {DeviceField::InherentFiltration, o.inherent},
        {DeviceField::AddedAluminium, o.aluminium},
        {DeviceField::AddedCopper, o.copper},
        {DeviceField::TypicalTubeVoltage, o.kv},
        {DeviceField::KermaNoCouch, o.k0},
        {DeviceField::KermaWithCouch, o.k1},
        {DeviceField::DisplayedKar, o.kd},
    };
    for (const auto& [field, text] : typed) {
        entry.SetText(field, text);
    }
    SetCouch(entry, o);
    if (!o.filter.empty()) {
        FilterEntry filter(state, entry);
        SetFilterFromOption(state, filter, o.filter);
    }
    const RuleOutcome ok = entry.Ok();
    if (!ok) {
        throw UsageError(ok.refusal.text);
    }
    const DeviceSaveOutcome saved = entry.Save();
    if (saved.refused) {
        throw UsageError(saved.message.text);
    }
    if (!saved.saved) {
        throw CommandFailure(Failure{
            ExitCode::OutputFile, saved.message.text, {}, o.name + kDeviceFileExtension, {}, {}});
    }
    WriteJson(out, CreatedJson(state.calc, saved.file_name));
    return ExitStatus(ExitCode::Success);
}

}  // namespace korvex::cli
