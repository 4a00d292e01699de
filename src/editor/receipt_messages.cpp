#include "editor/receipt_messages.h"

#include <utility>

namespace qp {
namespace {

// Code page 850: 0x90 is "É", 0xD6 "Í", 0xB7 "À", 0xE0 "Ó".
const std::string kOrderMessage = "L'ORDRE DE LES FILES NO \x90S CORRECTE";
const std::string kMarginMessage = "FILA LLIURAT FORA DE MARGES";
const std::string kSaveFailedMessage = "NO S'HAN POGUT DESAR ELS CANVIS";
// Why: each cause says what went wrong with the file named before it.
const std::string kDeniedMessage = "EL FITXER \x90S DE NOM\x90S LECTURA O NO TENIU PERM\xD6S PER MODIFICAR-LO";
const std::string kDiskFullMessage = "EL DISC \x90S PLE";
const std::string kInUseMessage = "UN ALTRE PROGRAMA T\x90 EL FITXER OBERT";
const std::string kNoFolderMessage = "LA CARPETA DEL FITXER NO EXISTEIX";
const std::string kNotAFileMessage = "EL NOM \x90S D'UNA CARPETA O D'UN DISPOSITIU, NO D'UN FITXER";
const std::string kSystemErrorMessage = "ERROR DEL SISTEMA: CAL AVISAR L'ADMINISTRADOR";
// A file read whole that is there but may not be used.
const std::string kCannotUseFile = "NO ES POT FER SERVIR EL FITXER";
const std::string kTooLarge = "\x90S MASSA GRAN";
const std::string kUnreadable = "NO \x90S UN FITXER ORDINARI O NO TENIU PERM\xD6S DE LECTURA";
const std::string kTooManyLines = "T\x90 M\x90S L\xD6NIES DE LES QUE POT TENIR UN FITXER DE CONFIGURACI\xE0";

const std::string kConsoleTooSmall = "Cal una finestra de 80 x 25; aquesta fa";
// The status line's reasons; 0xA3 is "ú", 0x82 "é".
const std::string kRowExpected = "Escriviu un n\xA3mero de l'1 al 25";
const std::string kFieldFull = "El camp \x82s ple";
const std::string kChooseWith = "Trieu amb Espai o les fletxes";
const std::string kDoesNotFit = "no hi cap: cal una finestra de";
const std::string kNoHelp = "No hi ha ajuda per a aquesta pantalla";
const std::string kLeaveWithoutSaving = "Per sortir sense desar: Format antic a No, Intro i Esc dues vegades";

const std::string& CauseMessage(FailureCause cause) {
    switch (cause) {
    case FailureCause::Denied: return kDeniedMessage;
    case FailureCause::DiskFull: return kDiskFullMessage;
    case FailureCause::InUse: return kInUseMessage;
    case FailureCause::NoFolder: return kNoFolderMessage;
    case FailureCause::NotAFile: return kNotAFileMessage;
    case FailureCause::None:
    case FailureCause::Other: break;
    }
    return kSystemErrorMessage;
}

const std::string& SaidText(Said what) {
    static const std::string kTexts[] = {
        "OPCI\xE0 DESCONEGUDA",
        "ARGUMENT INESPERAT",
        "ARGUMENTS NO V\xB7LIDS; CAL ESCRIURE",
        "TEMA D'AJUDA NO V\xB7LID (D'1 A 64 LLETRES, XIFRES, _ O -, I CAP NOM DE DISPOSITIU)",
        "UN ARGUMENT T\x90 CAR\xB7" "CTERS QUE LA P\xB7GINA DE CODIS 850 NO T\x90",
        "qplayout --help mostra els modes",
        "AQUEST MODE NECESSITA UN TERMINAL",
        "NO ES POT ENTRAR A LA CARPETA DE MURROOT",
        "NO ES FA SERVIR UN FITXER O UN VALOR DE LA SESSI\xE0",
        "EL FITXER DEL FORMULARI NO ES POT FER SERVIR",
        "NO S'HA POGUT ESCRIURE EL FULL A LA SORTIDA EST\xB7NDARD",
        "S'HA CREAT EL FITXER",
        "SI S'ACTIVA EL FORMAT ANTIC",
        "NO S'HA POGUT ESCRIURE A LA SORTIDA EST\xB7NDARD",
    };
    static_assert(sizeof kTexts / sizeof kTexts[0] == static_cast<std::size_t>(Said::OutputNotWritten) + 1);
    return kTexts[static_cast<std::size_t>(what)];
}

// The last part of a path, as the operator knows the file.
std::string NameOf(const std::string& path) {
    const std::size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The system's words, with the file's path in front unless they name it.
std::string NamingTheFile(const std::string& path, const std::string& reason) {
    const std::string native = NativePath(path);
    if (reason.find(path) != std::string::npos || (!native.empty() && reason.find(native) != std::string::npos))
        return reason;
    return (native.empty() ? path : native) + ": " + reason;
}

// The save's lock on Windows is a file beside Tarn.ini: when it is the lock
// that failed, it is the one named.
std::string ConcernedFile(const std::string& path, const Status& status) {
    return status.concerns.empty() ? path : status.concerns;
}

}  // namespace

const std::string& RowPlanMessage(RowPlanFault fault) {
    return fault == RowPlanFault::Order ? kOrderMessage : kMarginMessage;
}

Message SaveFailureMessage(Translator& translator, const std::string& path, const Status& status) {
    const std::string file = ConcernedFile(path, status);
    return {translator.Translate(kSaveFailedMessage) + " (" + NameOf(file) + "). " +
                translator.Translate(CauseMessage(status.cause)) + ".",
            NamingTheFile(file, status.reason.empty() ? "failed" : status.reason)};
}

Message RefusedFileMessage(Translator& translator, const std::string& path, const FileReading& reading) {
    return {translator.Translate(kCannotUseFile) + " " + NameOf(path) + ". " +
                translator.Translate(reading.tooLarge       ? kTooLarge
                                     : reading.tooManyLines ? kTooManyLines
                                                            : kUnreadable) +
                ".",
            reading.problem};
}

Message Say(Translator& translator, Said what, const std::string& subject, std::string detail) {
    return {translator.Translate(SaidText(what)) + (subject.empty() ? "" : ": " + subject), std::move(detail)};
}

Message LanguageFileMessage(const std::string& languageCode, const std::string& name, std::string detail) {
    // Before and after the file's name, in code page 850 (0xB7 "À", 0xB5 "Á",
    // 0xE0 "Ó", 0xD4 "È", 0xE3 "Ò").
    struct Sentence {
        const char* code;
        const char* before;
        const char* after;
    };
    static const Sentence kSentences[] = {
        {"GLG", "O FICHEIRO DE IDIOMA ", " NON SE PODE USAR; OS TEXTOS M\xE0STRANSE EN CATAL\xB5N"},
        {"OCI", "ETH FICH\xD4R DE TRADUCCIONS ", " NON SE P\xE3T UTILIZAR; ES T\xD4XTES DEMOREN EN CATALAN"},
        {"SPA", "EL ARCHIVO DE IDIOMA ", " NO SE PUEDE USAR; LOS TEXTOS SE MUESTRAN EN CATAL\xB5N"},
    };
    Sentence said {"CAT", "EL FITXER D'IDIOMA ", " NO ES POT FER SERVIR; ELS TEXTOS ES MOSTREN EN CATAL\xB7"};
    for (const Sentence& sentence : kSentences)
        if (languageCode == sentence.code) said = sentence;
    return {said.before + name + said.after, std::move(detail)};
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
