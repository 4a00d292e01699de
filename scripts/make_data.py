#!/usr/bin/env python3
"""Writes the data that ships beside qplayout: the form file, the language
file and the text help pages, in code page 850 with CR LF line ends (the help
pages as 80-byte records without line ends).

Run from anywhere: python3 scripts/make_data.py
"""
import importlib
import itertools
from pathlib import Path

import help_pages

ROOT = Path(__file__).resolve().parent.parent
LANGS = ("cat", "glg", "oci", "spa")  # the column order of the language file

# The nine settings in the order of Tarn.ini section Rebut, each with its
# label in every language, its width, hook code and flags.
YES_NO = {"cat": "|S,Sí|N,No", "glg": "|S,Si|N,Non", "oci": "|S,Òc|N,Non", "spa": "|S,Sí|N,No"}
START_BLANK = 1
SKIPPED = 4
SETTINGS = [
    # row, labels, length, desc width, flags, hook, options
    (2, {"cat": "Format antic del rebut", "glg": "Formato antigo do recibo",
         "oci": "Format ancian der arrecebut", "spa": "Formato antiguo del recibo"}, 1, 3, 0, 1, YES_NO),
    (4, {"cat": "Fila del número de rebut", "glg": "Fila do número de recibo",
         "oci": "Linha deth numèro d'arrecebut", "spa": "Fila del número de recibo"}, 2, 0, START_BLANK, 2, None),
    (5, {"cat": "Fila de la data", "glg": "Fila da data",
         "oci": "Linha dera data", "spa": "Fila de la fecha"}, 2, 0, START_BLANK, 2, None),
    (6, {"cat": "Fila del concepte (5 files)", "glg": "Fila do concepto (5 filas)",
         "oci": "Linha deth concèpte (5 linhes)", "spa": "Fila del concepto (5 filas)"}, 2, 0, START_BLANK, 2, None),
    (7, {"cat": "Fila del domicili", "glg": "Fila do domicilio",
         "oci": "Linha deth domicili", "spa": "Fila del domicilio"}, 2, 0, START_BLANK, 2, None),
    (8, {"cat": "Fila del nom (6 files)", "glg": "Fila do nome (6 filas)",
         "oci": "Linha deth nom (6 linhes)", "spa": "Fila del nombre (6 filas)"}, 2, 0, START_BLANK, 2, None),
    (10, {"cat": "Imprimir la matriu", "glg": "Imprimir matriz",
          "oci": "Imprimir era matritz", "spa": "Imprimir matriz"}, 1, 3, 0, 0, YES_NO),
    (11, {"cat": "Imprimir el duplicat", "glg": "Imprimir duplicado",
          "oci": "Imprimir eth duplicat", "spa": "Imprimir duplicado"}, 1, 3, 0, 0, YES_NO),
    (12, {"cat": "Imprimir el membret", "glg": "Imprimir cabeceira",
          "oci": "Imprimir era entèsta", "spa": "Imprimir membrete"}, 1, 3, 0, 0, YES_NO),
]

# Display-only lines below the settings: which items the switch governs, and
# the keys. "\x19" and "\x18" are the console's down and up arrows.
NOTE = {"cat": "Files i matriu: format antic.   Duplicat: format nou.",
        "glg": "Filas e matriz: formato antigo.   Duplicado: formato novo.",
        "oci": "Linhes e matritz: format ancian.   Duplicat: format nau.",
        "spa": "Filas y matriz: formato antiguo.   Duplicado: formato nuevo."}
KEYS_MOVE = {"cat": "Intro, Tab, \x19: camp següent   \x18: camp anterior   Espai: Sí/No",
             "glg": "Intro, Tab, \x19: campo seguinte   \x18: campo anterior   Espazo: Si/Non",
             "oci": "Intro, Tab, \x19: camp seguent   \x18: camp anterior   Espaci: Òc/Non",
             "spa": "Intro, Tab, \x19: campo siguiente   \x18: campo anterior   Espacio: Sí/No"}
KEYS_LEAVE = {"cat": "F10: desa i surt   Esc: surt sense desar   F1: ajuda",
              "glg": "F10: garda e sae   Esc: sae sen gardar   F1: axuda",
              "oci": "F10: enregistrar e sortir   Esc: sortir sense enregistrar   F1: ajuda",
              "spa": "F10: guarda y sale   Esc: sale sin guardar   F1: ayuda"}
# The keys that open a pop-up from any field, named where the operator sees them.
KEYS_POPUPS = {"cat": "Alt+V: paper del rebut   Alt+X: calculadora   Alt+C: calendari",
               "glg": "Alt+V: papel do recibo   Alt+X: calculadora   Alt+C: calendario",
               "oci": "Alt+V: papèr der arrecebut   Alt+X: calculadora   Alt+C: calendari",
               "spa": "Alt+V: papel del recibo   Alt+X: calculadora   Alt+C: calendario"}

# The program's own messages (the first two are fixed by the suite).
PLAN_MESSAGES = [
    {"cat": "L'ORDRE DE LES FILES NO ÉS CORRECTE", "glg": "A ORDE DAS FILAS NON É CORRECTA",
     "oci": "ER ÒRDRE DES LINHES NON EI CORRÈCTE", "spa": "EL ORDEN DE LAS FILAS NO ES CORRECTO"},
    {"cat": "FILA LLIURAT FORA DE MARGES", "glg": "FILA FÓRA DAS MARXES",
     "oci": "LINHA DEHÒRA DES MARGES", "spa": "FILA FUERA DE LOS MÁRGENES"},
]
# A console smaller than the screen (followed by its columns x rows).
CONSOLE_TOO_SMALL = {"cat": "Cal una finestra de 80 x 25; aquesta fa", "glg": "Cómpre unha xanela de 80 x 25; esta mide",
                     "oci": "Cau ua hièstra de 80 x 25; aguesta hè", "spa": "Hace falta una ventana de 80 x 25; esta mide"}
# The stationery preview (Alt+V): its title and its key line.
PREVIEW_TITLE = {"cat": "PAPER DEL REBUT", "glg": "PAPEL DO RECIBO", "oci": "PAPÈR DER ARRECEBUT", "spa": "PAPEL DEL RECIBO"}
PREVIEW_KEYS = {"cat": "Esc, Alt+V: tanca", "glg": "Esc, Alt+V: pecha", "oci": "Esc, Alt+V: barrar", "spa": "Esc, Alt+V: cierra"}
MESSAGES = PLAN_MESSAGES + [
    {"cat": "NO S'HAN POGUT DESAR ELS CANVIS", "glg": "NON SE PUIDERON GARDAR OS CAMBIOS",
     "oci": "NON S'AN PODUT ENREGISTRAR ES CAMBIS", "spa": "NO SE HAN PODIDO GUARDAR LOS CAMBIOS"},
    # Why a save failed, for the causes an operator can do something about.
    {"cat": "EL FITXER ÉS DE NOMÉS LECTURA O NO TENIU PERMÍS PER MODIFICAR-LO",
     "glg": "O FICHEIRO É DE SÓ LECTURA OU NON TEN PERMISO PARA MODIFICALO",
     "oci": "ETH FICHÈR EI DE LECTURA SOLA O NON AUETZ PERMÍS ENTÀ MODIFICAR-LO",
     "spa": "EL ARCHIVO ES DE SOLO LECTURA O NO TIENE PERMISO PARA MODIFICARLO"},
    {"cat": "EL DISC ÉS PLE", "glg": "O DISCO ESTÁ CHEO", "oci": "ETH DISC EI PLEN", "spa": "EL DISCO ESTÁ LLENO"},
    {"cat": "UN ALTRE PROGRAMA TÉ EL FITXER OBERT", "glg": "OUTRO PROGRAMA TEN O FICHEIRO ABERTO",
     "oci": "UN AUTE PROGRAMA A ETH FICHÈR DUBÈRT", "spa": "OTRO PROGRAMA TIENE EL ARCHIVO ABIERTO"},
    {"cat": "LA CARPETA DEL FITXER NO EXISTEIX", "glg": "O CARTAFOL DO FICHEIRO NON EXISTE",
     "oci": "ERA CARPETA DETH FICHÈR NON EXISTÍS", "spa": "LA CARPETA DEL ARCHIVO NO EXISTE"},
    # The settings given to qplayout --set.
    {"cat": "CLAU DESCONEGUDA", "glg": "CLAVE DESCOÑECIDA", "oci": "CLAU DESCONEISHUDA", "spa": "CLAVE DESCONOCIDA"},
    {"cat": "CAL CLAU=VALOR", "glg": "AGÁRDASE CLAVE=VALOR", "oci": "CAU CLAU=VALOR", "spa": "SE ESPERA CLAVE=VALOR"},
    {"cat": "VALOR NO VÀLID", "glg": "VALOR NON VÁLIDO", "oci": "VALOR NON VALIDA", "spa": "VALOR NO VÁLIDO"},
    CONSOLE_TOO_SMALL,
    # The stationery preview (Alt+V).
    PREVIEW_TITLE,
    {"cat": "Fora del paper", "glg": "Fóra do papel", "oci": "Dehòra deth papèr", "spa": "Fuera del papel"},
    {"cat": "files", "glg": "filas", "oci": "linhes", "spa": "filas"},
    {"cat": "El format nou no fa servir aquestes files.", "glg": "O formato novo non usa estas filas.",
     "oci": "Eth format nau non utilize aguestes linhes.", "spa": "El formato nuevo no usa estas filas."},
    PREVIEW_KEYS,
    # A block off the sheet by one row ("files" is for several).
    {"cat": "fila", "glg": "fila", "oci": "linha", "spa": "fila"},
]

# What the five row settings print, as the preview and the alignment sheet name
# each printed row. The program adds a block's line ("Concepte 2/5").
FIELD_NAMES = [
    {"cat": "Núm. rebut", "glg": "Núm. recibo", "oci": "Num. arrecebut", "spa": "Núm. recibo"},
    {"cat": "Data", "glg": "Data", "oci": "Data", "spa": "Fecha"},
    {"cat": "Concepte", "glg": "Concepto", "oci": "Concèpte", "spa": "Concepto"},
    {"cat": "Domicili", "glg": "Domicilio", "oci": "Domicili", "spa": "Domicilio"},
    {"cat": "Nom", "glg": "Nome", "oci": "Nom", "spa": "Nombre"},
]
FIELD_ROWS = (1, 1, 5, 1, 6)
# The preview's room for a row's names: two fields on one row show both whole.
ROW_NAMES_WIDTH = 34
NAMES_BETWEEN = " / "
# The preview's inside, between the frame's two sides, and what parts the
# three Sí/No settings when they share a line.
PREVIEW_INNER = 78
CHOICES_BETWEEN = "   "


def check_field_names():
    for lang in LANGS:
        widest = [len(f[lang]) + (len(f" {n}/{n}") if n > 1 else 0) for f, n in zip(FIELD_NAMES, FIELD_ROWS)]
        for i in range(len(widest)):
            for j in range(i + 1, len(widest)):
                width = widest[i] + len(NAMES_BETWEEN) + widest[j]
                assert width <= ROW_NAMES_WIDTH, (lang, FIELD_NAMES[i][lang], FIELD_NAMES[j][lang], width)


def check_preview_texts():
    """The texts the stationery preview shows each have their place inside its
    frame, 78 columns wide, and never touch it."""
    for lang in LANGS:
        for message in PLAN_MESSAGES:
            # Shown from the preview's second column, and as one line of the message box.
            assert len(message[lang]) <= PREVIEW_INNER - 2, (lang, message[lang])
        assert len(" " + PREVIEW_TITLE[lang] + " ") <= PREVIEW_INNER - 2, (lang, PREVIEW_TITLE[lang])
        assert len(PREVIEW_KEYS[lang]) <= PREVIEW_INNER - 2, (lang, PREVIEW_KEYS[lang])
        # The largest console size that follows it still fits one 80-column line.
        assert len(CONSOLE_TOO_SMALL[lang] + " 999 x 999.") <= 80, (lang, CONSOLE_TOO_SMALL[lang])


def check_choice_line():
    """The preview puts counterfoil, duplicate and letterhead with their Sí/No
    on one line, centred, or on a row each when together they are wider than
    its inside. Whatever the values, the one line keeps a blank on each side."""
    descriptions = {lang: [d.split(",", 1)[1] for d in YES_NO[lang].split("|")[1:]] for lang in LANGS}
    for lang in LANGS:
        # The Sí/No settings that are not the old-format switch.
        names = [s[1][lang] for s in SETTINGS if s[6] is YES_NO and s[5] == 0]
        for shown in itertools.product(descriptions[lang], repeat=len(names)):
            line = CHOICES_BETWEEN.join(f"{name}: {d}" for name, d in zip(names, shown))
            assert len(line) <= PREVIEW_INNER - 2 or len(line) > PREVIEW_INNER, (lang, line, len(line))


WINDOW_TOP, WINDOW_BOTTOM = 3, 23
# Inside the window: the settings, the note on row 14, the separator and three
# key lines below it. Row 15 is left empty for the program's status line.
SEPARATOR_ROW, MOVE_ROW, LEAVE_ROW, POPUPS_ROW, NOTE_ROW = 16, 17, 18, 19, 14
# Enter and Tab (which the field editor turns into Enter) go down like Down;
# Up (and back-tab, turned into Up) goes back; Esc; F10 ends the screen as
# End; PgUp and PgDn jump to the first and last item. End itself is left out
# so that Enter is never taken for it.
EXIT_KEYS = "d=5000,5000,4800,1b,4400=4f00,4900,5100"


def cp850(text):
    return text.encode("cp850")


def area_messages():
    """The messages of a part of the program kept in a file of its own beside
    this one (messages_<part>.py, each with a MESSAGES list of the same shape
    as the one above), in the order of their file names."""
    texts = []
    for path in sorted(Path(__file__).resolve().parent.glob("messages_*.py")):
        texts += importlib.import_module(path.stem).MESSAGES
    return texts


def quoted(text):
    assert '"' not in text
    return '"' + text + '"'


def padded_labels():
    """Every language's labels share one width, so the values line up."""
    width = max(len(s[1][lang]) for s in SETTINGS for lang in LANGS) + 4
    out = []
    for s in SETTINGS:
        out.append({lang: s[1][lang] + " " + "." * (width - len(s[1][lang]) - 3) + ": " for lang in LANGS})
    return out, width


def main():
    check_field_names()
    check_preview_texts()
    check_choice_line()
    labels, label_width = padded_labels()
    lines = [NOTE, KEYS_MOVE, KEYS_LEAVE, KEYS_POPUPS]
    inner = max(label_width + 4, max(len(l[lang]) for l in lines for lang in LANGS)) + 6
    # The window and its frame within the 80 columns, its rows within its frame.
    assert inner + 2 <= 80, inner
    assert max(NOTE_ROW, SEPARATOR_ROW, MOVE_ROW, LEAVE_ROW, POPUPS_ROW) < WINDOW_BOTTOM - WINDOW_TOP
    left = (80 - (inner + 2)) // 2 + 1
    right = left + inner + 1
    block_column = (inner - (label_width + 4)) // 2 + 1

    def centred(texts):
        # Blanks in front centre each language's text on the same column.
        return {lang: " " * ((inner - 2 - len(texts[lang])) // 2) + texts[lang] for lang in LANGS}

    items = []  # (row, column, labels, length, desc, flags, hook, options)
    for s, label in zip(SETTINGS, labels):
        row, _, length, desc, flags, hook, options = s
        items.append((row, block_column, label, length, desc, flags, hook, options))
    items.append((NOTE_ROW, 2, centred(NOTE), 0, 0, SKIPPED, 0, None))
    rule = "\u2560" + "\u2550" * inner + "\u2563"
    items.append((SEPARATOR_ROW, 0, {lang: rule for lang in LANGS}, 0, 0, SKIPPED, 0, None))
    items.append((MOVE_ROW, 2, centred(KEYS_MOVE), 0, 0, SKIPPED, 0, None))
    items.append((LEAVE_ROW, 2, centred(KEYS_LEAVE), 0, 0, SKIPPED, 0, None))
    items.append((POPUPS_ROW, 2, centred(KEYS_POPUPS), 0, 0, SKIPPED, 0, None))

    form = [
        "' QPLAYOUT: the receipt layout screen.",
        "' Header: number of screens, largest number of items on a screen.",
        "' Screen: exit keys, items, linked screen (0 none), window top, left, bottom, right.",
        "' Item: row, column (inside the window), label, length, wrap width, description",
        "'   width, flags (1 starts blank, 4 display only), hook (1 old-format switch,",
        "'   2 row number), pop-up list, options (|code,description...).",
        "' Items 1 to 9 are the settings Antic, Fila.Num, Fila.Dat, Fila.Cnc, Fila.Dom,",
        "'   Fila.Nom, Matriu, Duplicat, Membret of Tarn.ini section Rebut, in that order.",
        "' Exit keys: Enter and Tab go to the next item, Down, Up, Esc, F10 saves and",
        "'   leaves (returned as End), PgUp and PgDn go to the first and last item.",
        "' Every translation of a label keeps its width; the lines under the settings",
        "'   are centred with leading blanks.",
        f"1,{len(items)}",
        f"{quoted(EXIT_KEYS)},{len(items)},0,{WINDOW_TOP},{left},{WINDOW_BOTTOM},{right}",
    ]
    for row, column, label, length, desc, flags, hook, options in items:
        opts = options["cat"] if options else ""
        form.append(f"{row},{column},{quoted(label['cat'])},{length},0,{desc},{flags},{hook},0,{quoted(opts)}")
    form.append("' No pop-up lists.")
    write_text(ROOT / "FORMS" / "QPLAYOUT.MPN", form)

    records = []
    texts = labels + [YES_NO] + [centred(l) for l in lines] + MESSAGES + area_messages() + FIELD_NAMES
    # Translate takes the first record of a key: a key used twice would hide the second.
    assert len({t["cat"] for t in texts}) == len(texts)
    for t in texts:
        assert len({t[lang] for lang in LANGS}) > 1 or t is YES_NO
        records.append(",".join(quoted(t[lang]) for lang in LANGS))
    write_text(ROOT / "LOCALE" / "QPLAYOUT.LNG", records)

    help_pages.write_all(ROOT / "AJUDA")


def write_text(path, lines):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(b"".join(cp850(line) + b"\r\n" for line in lines))


if __name__ == "__main__":
    main()
