"""The texts of what the program tells the operator and the administrator
besides the row plan: why a file could not be saved or used, and what the
scripted modes (--get, --set, --check, --sheet) and start-up say. make_data.py
puts them in the language file. The Occitan is Aranese.

The system's own words never go into these texts: the program writes them
apart, on a line marked as detail. A text here is followed by what it
concerns: "TEXT: subject", or the file's name before a cause.
"""

# Why a save failed, after "NO S'HAN POGUT DESAR ELS CANVIS (file)."; the
# other causes (read-only, disk full, in use, no folder) are in make_data.py.
SAVE_CAUSES = [
    # A folder, a FIFO or a device where the file (or its lock file) should be.
    {"cat": "EL NOM ÉS D'UNA CARPETA O D'UN DISPOSITIU, NO D'UN FITXER",
     "glg": "O NOME É DUN CARTAFOL OU DUN DISPOSITIVO, NON DUN FICHEIRO",
     "oci": "ETH NOM EI D'UA CARPETA O D'UN DISPOSITIU, NON D'UN FICHÈR",
     "spa": "EL NOMBRE ES DE UNA CARPETA O DE UN DISPOSITIVO, NO DE UN ARCHIVO"},
    # Any other cause: the detail line tells the administrator which.
    {"cat": "ERROR DEL SISTEMA: CAL AVISAR L'ADMINISTRADOR",
     "glg": "ERRO DO SISTEMA: CÓMPRE AVISAR O ADMINISTRADOR",
     "oci": "ERROR DETH SISTÈMA: CAU AVISAR ER ADMINISTRADOR",
     "spa": "ERROR DEL SISTEMA: HAY QUE AVISAR AL ADMINISTRADOR"},
]

# A file read whole that is there but may not be used: "TEXT file. CAUSE."
REFUSED_FILE = [
    {"cat": "NO ES POT FER SERVIR EL FITXER", "glg": "NON SE PODE USAR O FICHEIRO",
     "oci": "NON SE PÒT UTILIZAR ETH FICHÈR", "spa": "NO SE PUEDE USAR EL ARCHIVO"},
    {"cat": "ÉS MASSA GRAN", "glg": "É DEMASIADO GRANDE", "oci": "EI MASSA GRAN", "spa": "ES DEMASIADO GRANDE"},
    {"cat": "NO ÉS UN FITXER ORDINARI O NO TENIU PERMÍS DE LECTURA",
     "glg": "NON É UN FICHEIRO ORDINARIO OU NON TEN PERMISO DE LECTURA",
     "oci": "NON EI UN FICHÈR ORDINARI O NON AUETZ PERMÍS DE LECTURA",
     "spa": "NO ES UN ARCHIVO ORDINARIO O NO TIENE PERMISO DE LECTURA"},
    {"cat": "TÉ MÉS LÍNIES DE LES QUE POT TENIR UN FITXER DE CONFIGURACIÓ",
     "glg": "TEN MÁIS LIÑAS DAS QUE PODE TER UN FICHEIRO DE CONFIGURACIÓN",
     "oci": "A MÈS LINHES DES QUE PÒT AUER UN FICHÈR DE CONFIGURACION",
     "spa": "TIENE MÁS LÍNEAS DE LAS QUE PUEDE TENER UN ARCHIVO DE CONFIGURACIÓN"},
]

# The arguments, start-up and the scripted modes.
SAID = [
    {"cat": "OPCIÓ DESCONEGUDA", "glg": "OPCIÓN DESCOÑECIDA", "oci": "OPCION DESCONEISHUDA",
     "spa": "OPCIÓN DESCONOCIDA"},
    {"cat": "ARGUMENT INESPERAT", "glg": "ARGUMENTO INESPERADO", "oci": "ARGUMENT NON PREVIST",
     "spa": "ARGUMENTO INESPERADO"},
    # Followed by the mode as it is called: "qplayout --set KEY=VALUE...".
    {"cat": "ARGUMENTS NO VÀLIDS; CAL ESCRIURE", "glg": "ARGUMENTOS NON VÁLIDOS; CÓMPRE ESCRIBIR",
     "oci": "ARGUMENTS NON VALIDS; CAU ESCRÍUER", "spa": "ARGUMENTOS NO VÁLIDOS; HAY QUE ESCRIBIR"},
    {"cat": "TEMA D'AJUDA NO VÀLID (D'1 A 64 LLETRES, XIFRES, _ O -, I CAP NOM DE DISPOSITIU)",
     "glg": "TEMA DE AXUDA NON VÁLIDO (DE 1 A 64 LETRAS, CIFRAS, _ OU -, E NINGÚN NOME DE DISPOSITIVO)",
     "oci": "TÈMA D'AJUDA NON VALID (D'1 A 64 LETRES, CHIFRES, _ O -, E CAP DE NOM DE DISPOSITIU)",
     "spa": "TEMA DE AYUDA NO VÁLIDO (DE 1 A 64 LETRAS, CIFRAS, _ O -, Y NINGÚN NOMBRE DE DISPOSITIVO)"},
    {"cat": "UN ARGUMENT TÉ CARÀCTERS QUE LA PÀGINA DE CODIS 850 NO TÉ",
     "glg": "UN ARGUMENTO TEN CARACTERES QUE A PÁXINA DE CÓDIGOS 850 NON TEN",
     "oci": "UN ARGUMENT A CARACTÈRS QU'ERA PAGINA DE CÒDIS 850 NON A",
     "spa": "UN ARGUMENTO TIENE CARACTERES QUE LA PÁGINA DE CÓDIGOS 850 NO TIENE"},
    {"cat": "qplayout --help mostra els modes", "glg": "qplayout --help mostra os modos",
     "oci": "qplayout --help mòstre es mòdes", "spa": "qplayout --help muestra los modos"},
    {"cat": "AQUEST MODE NECESSITA UN TERMINAL", "glg": "ESTE MODO PRECISA UN TERMINAL",
     "oci": "AGUEST MÒDE A BESONH D'UN TERMINAU", "spa": "ESTE MODO NECESITA UN TERMINAL"},
    {"cat": "NO ES POT ENTRAR A LA CARPETA DE MURROOT", "glg": "NON SE PODE ENTRAR NO CARTAFOL DE MURROOT",
     "oci": "NON SE PÒT ENTRAR ENA CARPETA DE MURROOT", "spa": "NO SE PUEDE ENTRAR EN LA CARPETA DE MURROOT"},
    # A variable or a file of the session refused (the detail names it).
    {"cat": "NO ES FA SERVIR UN FITXER O UN VALOR DE LA SESSIÓ", "glg": "NON SE USA UN FICHEIRO OU UN VALOR DA SESIÓN",
     "oci": "NON S'UTILIZE UN FICHÈR O UA VALOR DERA SESSION", "spa": "NO SE USA UN ARCHIVO O UN VALOR DE LA SESIÓN"},
    {"cat": "EL FITXER DEL FORMULARI NO ES POT FER SERVIR", "glg": "O FICHEIRO DO FORMULARIO NON SE PODE USAR",
     "oci": "ETH FICHÈR DETH FORMULARI NON SE PÒT UTILIZAR", "spa": "EL ARCHIVO DEL FORMULARIO NO SE PUEDE USAR"},
    {"cat": "NO S'HA POGUT ESCRIURE EL FULL A LA SORTIDA ESTÀNDARD",
     "glg": "NON SE PUIDO ESCRIBIR A FOLLA NA SAÍDA ESTÁNDAR",
     "oci": "NON S'A PODUT ESCRÍUER ERA HUELHA ENA SORTIDA ESTANDARD",
     "spa": "NO SE HA PODIDO ESCRIBIR LA HOJA EN LA SALIDA ESTÁNDAR"},
    # --set on a missing Tarn.ini, followed by its path.
    {"cat": "S'HA CREAT EL FITXER", "glg": "CREOUSE O FICHEIRO", "oci": "S'A CREAT ETH FICHÈR",
     "spa": "SE HA CREADO EL ARCHIVO"},
    # --check with the old format off, followed by the rule the rows would fail.
    {"cat": "SI S'ACTIVA EL FORMAT ANTIC", "glg": "SE SE ACTIVA O FORMATO ANTIGO", "oci": "SE S'ACTIVE ETH FORMAT ANCIAN",
     "spa": "SI SE ACTIVA EL FORMATO ANTIGUO"},
    {"cat": "NO S'HA POGUT ESCRIURE A LA SORTIDA ESTÀNDARD", "glg": "NON SE PUIDO ESCRIBIR NA SAÍDA ESTÁNDAR",
     "oci": "NON S'A PODUT ESCRÍUER ENA SORTIDA ESTANDARD", "spa": "NO SE HA PODIDO ESCRIBIR EN LA SALIDA ESTÁNDAR"},
]

# The arguments of a mode as a wrong call is told them: "qplayout --set CLAU=VALOR...".
ARGUMENT_NAMES = [
    {"cat": "CLAU=VALOR...", "glg": "CLAVE=VALOR...", "oci": "CLAU=VALOR...", "spa": "CLAVE=VALOR..."},
    {"cat": "TEMA", "glg": "TEMA", "oci": "TÈMA", "spa": "TEMA"},
    {"cat": "[IMPRESSORA]", "glg": "[IMPRESORA]", "oci": "[IMPRIMEIRA]", "spa": "[IMPRESORA]"},
]

MESSAGES = SAVE_CAUSES + REFUSED_FILE + SAID + ARGUMENT_NAMES

for text in MESSAGES:
    assert set(text) == {"cat", "glg", "oci", "spa"}, text
    for language, words in text.items():
        words.encode("cp850")
        # The program adds the subject and ends the sentence itself.
        assert text in ARGUMENT_NAMES or not words.endswith((".", ":", " ")), (language, words)
