"""The texts of printing the alignment sheet from the stationery preview (F9)
and with qplayout --print-sheet. make_data.py puts them in the language file.
The Occitan is Aranese."""

MESSAGES = [
    # The preview's key line and the printer pop-up.
    {"cat": "F9: imprimeix", "glg": "F9: imprime", "oci": "F9: imprimir", "spa": "F9: imprime"},
    {"cat": "IMPRESSORA", "glg": "IMPRESORA", "oci": "IMPRIMEIRA", "spa": "IMPRESORA"},
    {"cat": "Intro: imprimeix   Esc: torna", "glg": "Intro: imprime   Esc: volve",
     "oci": "Intro: imprimir   Esc: tornar", "spa": "Intro: imprime   Esc: vuelve"},
    {"cat": "(per defecte)", "glg": "(predeterminada)", "oci": "(predeterminada)", "spa": "(predeterminada)"},
    # The job's title in the printer's queue, after the program's name.
    {"cat": "Full d'alineació", "glg": "Folla de aliñamento", "oci": "Huelha d'alinhament",
     "spa": "Hoja de alineación"},
    # The line that says what became of the sheet (followed by the printer's name).
    {"cat": "Full d'alineació enviat a", "glg": "Folla de aliñamento enviada a",
     "oci": "Huelha d'alinhament enviada a", "spa": "Hoja de alineación enviada a"},
    {"cat": "la impressora està aturada: el full espera a la cua",
     "glg": "a impresora está detida: a folla agarda na cola",
     "oci": "era imprimeira ei arturada: era huelha demore ena coa",
     "spa": "la impresora está detenida: la hoja espera en la cola"},
    {"cat": "No s'ha imprès el full", "glg": "Non se imprimiu a folla", "oci": "Non s'a imprimit era huelha",
     "spa": "No se ha impreso la hoja"},
    # Why not.
    {"cat": "no hi ha cap servei d'impressió en marxa", "glg": "non hai ningún servizo de impresión en marcha",
     "oci": "non i a cap de servici d'impression en marcha", "spa": "no hay ningún servicio de impresión en marcha"},
    {"cat": "el sistema no té cap impressora", "glg": "o sistema non ten ningunha impresora",
     "oci": "eth sistèma non a cap d'imprimeira", "spa": "el sistema no tiene ninguna impresora"},
    {"cat": "no hi ha impressora per defecte: indiqueu-ne una", "glg": "non hai impresora predeterminada: indique unha",
     "oci": "non i a imprimeira predeterminada: indicatz-ne ua", "spa": "no hay impresora predeterminada: indique una"},
    {"cat": "no hi ha cap impressora amb aquest nom", "glg": "non hai ningunha impresora con ese nome",
     "oci": "non i a cap d'imprimeira damb aguest nom", "spa": "no hay ninguna impresora con ese nombre"},
    {"cat": "la impressora no accepta treballs", "glg": "a impresora non acepta traballos",
     "oci": "era imprimeira non accèpte trabalhs", "spa": "la impresora no acepta trabajos"},
    {"cat": "el sistema no ha acceptat el treball", "glg": "o sistema non aceptou o traballo",
     "oci": "eth sistèma non a acceptat eth trabalh", "spa": "el sistema no ha aceptado el trabajo"},
]
