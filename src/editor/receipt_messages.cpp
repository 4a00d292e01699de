#include "editor/receipt_messages.h"

namespace qp {
namespace {

// Code page 850: 0x90 is "É", 0xD6 "Í".
const std::string kOrderMessage = "L'ORDRE DE LES FILES NO \x90S CORRECTE";
const std::string kMarginMessage = "FILA LLIURAT FORA DE MARGES";
const std::string kSaveFailedMessage = "NO S'HAN POGUT DESAR ELS CANVIS";
const std::string kDeniedMessage = "EL FITXER \x90S DE NOM\x90S LECTURA O NO TENIU PERM\xD6S PER MODIFICAR-LO";
const std::string kDiskFullMessage = "EL DISC \x90S PLE";
const std::string kInUseMessage = "UN ALTRE PROGRAMA T\x90 EL FITXER OBERT";
const std::string kNoFolderMessage = "LA CARPETA DEL FITXER NO EXISTEIX";
const std::string kConsoleTooSmall = "Cal una finestra de 80 x 25; aquesta fa";
// The status line's reasons; 0xA3 is "ú", 0x82 "é".
const std::string kRowExpected = "Escriviu un n\xA3mero de l'1 al 25";
const std::string kFieldFull = "El camp \x82s ple";
const std::string kChooseWith = "Trieu amb Espai o les fletxes";
const std::string kDoesNotFit = "no hi cap: cal una finestra de";
const std::string kNoHelp = "No hi ha ajuda per a aquesta pantalla";
const std::string kLeaveWithoutSaving = "Per sortir sense desar: Format antic a No, Intro i Esc dues vegades";

const std::string* CauseMessage(FailureCause cause) {
    switch (cause) {
    case FailureCause::Denied: return &kDeniedMessage;
    case FailureCause::DiskFull: return &kDiskFullMessage;
    case FailureCause::InUse: return &kInUseMessage;
    case FailureCause::NoFolder: return &kNoFolderMessage;
    case FailureCause::None:
    case FailureCause::NotAFile:
    case FailureCause::Other: break;
    }
    return nullptr;
}

}  // namespace

const std::string& RowPlanMessage(RowPlanFault fault) {
    return fault == RowPlanFault::Order ? kOrderMessage : kMarginMessage;
}

std::string SaveFailureText(Translator& translator, const Status& status) {
    std::string text = translator.Translate(kSaveFailedMessage) + ". ";
    if (const std::string* cause = CauseMessage(status.cause)) return text + translator.Translate(*cause) + ".";
    return text + status.reason;
}

std::string ConsoleSizeNotice(Translator& translator, int rows, int columns) {
    return translator.Translate(kConsoleTooSmall) + " " + std::to_string(columns) + " x " + std::to_string(rows) + ".";
}

std::string RefusalText(Translator& translator, const Refusal& refusal) {
    switch (refusal.kind) {
    case Refusal::Kind::FieldFull: return translator.Translate(kFieldFull);
    case Refusal::Kind::NotAChoice: return translator.Translate(kChooseWith) + ": " + refusal.text;
    case Refusal::Kind::ValueRefused: return translator.Translate(kRowExpected);
    case Refusal::Kind::PopupTooLarge:
        return translator.Translate(refusal.text) + " " + translator.Translate(kDoesNotFit) + " " +
               std::to_string(refusal.columns) + " x " + std::to_string(refusal.rows);
    case Refusal::Kind::NoHelp: return translator.Translate(kNoHelp);
    }
    return {};
}

std::string LeaveWithoutSavingText(Translator& translator) { return translator.Translate(kLeaveWithoutSaving); }

}  // namespace qp
