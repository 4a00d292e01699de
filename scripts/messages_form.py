"""The texts of the form's status line and of the help pager's frame: how the
row plan stands, why something was refused, the way out without saving, the
pager's keys. make_data.py puts them into LOCALE/QPLAYOUT.LNG.

Run as a script, it checks that every text, as the program puts it together,
fits its place.
"""

from make_data import FIELD_NAMES, FIELD_ROWS, LANGS

# The status line: the form window's 75 inner columns less a blank each side.
STATUS_WIDTH = 73
# The pager's frame on an 80-column console, and the widest position it
# shows beside the keys (a page of a thousand lines or more).
PAGER_WIDTH = 80
WIDEST_POSITION = " 9999-9999/9999 "

# How the plan stands. The program adds the names, rows and numbers:
# "Data i Concepte: fila 4", "Nom: files 22-27, fora del paper".
PLAN_RIGHT = {"cat": "Les files són correctes", "glg": "As filas son correctas",
              "oci": "Es linhes son corrèctes", "spa": "Las filas son correctas"}
AND = {"cat": "i", "glg": "e", "oci": "e", "spa": "y"}
OFF_PAPER = {"cat": "fora del paper", "glg": "fóra do papel", "oci": "dehòra deth papèr", "spa": "fuera del papel"}
GOES_AFTER = {"cat": "ha d'anar després de", "glg": "debe ir despois de", "oci": "deu anar dempús de",
              "spa": "debe ir después de"}
ENDS_BEFORE = {"cat": "ha d'acabar abans de la fila", "glg": "debe rematar antes da fila",
               "oci": "deu acabar abans dera linha", "spa": "debe terminar antes de la fila"}

# Why something was refused.
ROW_EXPECTED = {"cat": "Escriviu un número de l'1 al 25", "glg": "Escriba un número do 1 ao 25",
                "oci": "Escriuetz un numèro entre 1 e 25", "spa": "Escriba un número del 1 al 25"}
FIELD_FULL = {"cat": "El camp és ple", "glg": "O campo está cheo", "oci": "Eth camp ei plen",
              "spa": "El campo está lleno"}
CHOOSE_WITH = {"cat": "Trieu amb Espai o les fletxes", "glg": "Escolla con Espazo ou as frechas",
               "oci": "Escuelhetz damb er Espaci o es flèches", "spa": "Elija con Espacio o las flechas"}
NO_HELP = {"cat": "No hi ha ajuda per a aquesta pantalla", "glg": "Non hai axuda para esta pantalla",
           "oci": "Non i a ajuda entà aguesta pantalha", "spa": "No hay ayuda para esta pantalla"}
# A pop-up that the console cannot show whole: its name, these words, then
# the columns x rows it needs.
DOES_NOT_FIT = {"cat": "no hi cap: cal una finestra de", "glg": "non cabe: cómpre unha xanela de",
                "oci": "non i cap: cau ua hièstra de", "spa": "no cabe: hace falta una ventana de"}
POPUPS = [
    {"cat": "La calculadora", "glg": "A calculadora", "oci": "Era calculadora", "spa": "La calculadora"},
    {"cat": "El calendari", "glg": "O calendario", "oci": "Eth calendari", "spa": "El calendario"},
    {"cat": "El paper del rebut", "glg": "O papel do recibo", "oci": "Eth papèr der arrecebut",
     "spa": "El papel del recibo"},
    {"cat": "La llista", "glg": "A lista", "oci": "Era lista", "spa": "La lista"},
    {"cat": "L'ajuda", "glg": "A axuda", "oci": "Era ajuda", "spa": "La ayuda"},
]
LEAVE_WITHOUT_SAVING = {
    "cat": "Per sortir sense desar: Format antic a No, Intro i Esc dues vegades",
    "glg": "Para saír sen gardar: Formato antigo a Non, Intro e Esc dúas veces",
    "oci": "Entà sortir sense enregistrar: Format ancian a Non, Intro e Esc dus còps",
    "spa": "Para salir sin guardar: Formato antiguo a No, Intro y Esc dos veces",
}

# The help pager's keys on its bottom frame: "\x18\x19" are the console's up
# and down arrows; "·" is code page 850's middle dot.
PAGER_KEYS = {"cat": "\x18\x19 RePàg AvPàg · Esc", "glg": "\x18\x19 Re Pág Av Pág · Esc",
              "oci": "\x18\x19 Re Pág Av Pág · Esc", "spa": "\x18\x19 Re Pág Av Pág · Esc"}

MESSAGES = [PLAN_RIGHT, AND, OFF_PAPER, GOES_AFTER, ENDS_BEFORE, ROW_EXPECTED, FIELD_FULL, CHOOSE_WITH, NO_HELP,
            DOES_NOT_FIT] + POPUPS + [LEAVE_WITHOUT_SAVING, PAGER_KEYS]

# What the program puts beside them, the widest it can be: a block's line on
# a field name ("Concepte 2/5" is the preview's; here the name alone), rows
# of two digits, the choices of a Sí/No field.
ROWS = {"cat": "files", "glg": "filas", "oci": "linhes", "spa": "filas"}
YES_NO = {"cat": "Sí/No", "glg": "Si/Non", "oci": "Òc/Non", "spa": "Sí/No"}


def status_lines(lang):
    """Every status line the program can make from these texts, at its widest."""
    names = sorted((f[lang] for f in FIELD_NAMES), key=len, reverse=True)
    rows = f"{ROWS[lang]} 20-25"
    yield PLAN_RIGHT[lang]
    yield f"{names[0]}, {names[1]} {AND[lang]} {names[2]}: {rows}"
    yield f"{names[0]} {GOES_AFTER[lang]} {names[1]}"
    yield f"{names[0]}: {rows}, {OFF_PAPER[lang]}"
    yield f"{names[0]}: {rows}, {ENDS_BEFORE[lang]} 25"
    yield ROW_EXPECTED[lang]
    yield FIELD_FULL[lang]
    yield f"{CHOOSE_WITH[lang]}: {YES_NO[lang]}"
    yield NO_HELP[lang]
    for popup in POPUPS:
        yield f"{popup[lang]} {DOES_NOT_FIT[lang]} 80 x 25"
    yield LEAVE_WITHOUT_SAVING[lang]


def check():
    assert len(FIELD_NAMES) == len(FIELD_ROWS)
    for text in MESSAGES:
        assert set(text) == set(LANGS), text
        for lang in LANGS:
            text[lang].encode("cp850")
    for lang in LANGS:
        for line in status_lines(lang):
            assert len(line) <= STATUS_WIDTH, (lang, line, len(line))
        # Centred on the frame between blanks, with the position at its right.
        keys = f" {PAGER_KEYS[lang]} "
        keys_end = (PAGER_WIDTH - len(keys)) // 2 + len(keys)
        assert keys_end < PAGER_WIDTH - 2 - len(WIDEST_POSITION), (lang, keys)


check()

if __name__ == "__main__":
    print("the form's texts fit their places")
