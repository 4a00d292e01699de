"""The text help pages that ship in AJUDA: 80-byte records in code page
850 without line ends, at most 76 shown columns a line. Written by
make_data.py.
"""

HL, UL = "\x1e", "\x1f"


def cp850(text):
    return text.encode("cp850")


def write_help(path, lines):
    out = b""
    for line in lines:
        shown = line.replace(HL, "").replace(UL, "")
        assert len(shown) <= 76, line
        record = cp850(line)
        assert len(record) <= 80, line
        out += record + b" " * (80 - len(record))
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(out)


HELP_LAYOUT = [
    f"{HL}DISPOSICIÓ DEL REBUT{HL}",
    "",
    "Aquesta pantalla fixa com s'imprimeixen els rebuts sobre el paper preimprès:",
    "a quina fila del paper va cada dada i què s'imprimeix a més del rebut.",
    "",
    f"{UL}Les dades{UL}",
    " Format antic del rebut  Sí: format antic. S'hi fixen les files de les dades",
    "                         i si s'imprimeix la matriu.",
    "                         No: format nou. Les files no s'hi fan servir i es",
    "                         pot demanar un duplicat.",
    " Fila del número, de la  Fila del paper (1 a 25) on comença cada dada.",
    " data, del concepte...   Teclegeu el número nou i premeu Intro; si deixeu",
    "                         el camp en blanc, es manté el valor que hi havia.",
    " Imprimir la matriu      Sí/No: la matriu, la part que queda al talonari.",
    " Imprimir el duplicat    Sí/No: una segona còpia del rebut.",
    " Imprimir el membret     Sí/No: el membret de l'empresa.",
    "",
    f"{UL}El pla de files{UL}",
    " El rebut té 25 files. El número i la data n'ocupen una cadascun, el",
    " concepte cinc, el domicili una i el nom sis. Cada dada ha de començar",
    " després que acabi l'anterior, i el nom ha d'acabar dins les 25 files. Per",
    " exemple: número 1, data 3, concepte 6 (files 6 a 10), domicili 11, nom 13",
    " (files 13 a 18). Si no és així, en sortir apareix un avís: premeu una",
    " tecla i corregiu les files (o poseu No al format antic).",
    "",
    f"{UL}Tecles{UL}",
    " Intro, Tab, Fletxa avall  Camp següent.",
    " Fletxa amunt, Maj+Tab     Camp anterior.",
    " Espai, Fletxes laterals   Canvia Sí/No; també podeu teclejar S o N.",
    " F10                       Desa els canvis i surt.",
    " Esc                       Torna al primer camp; des del primer camp,",
    "                           surt sense desar res.",
    " F1                        Aquesta ajuda. Dins l'ajuda, F1 mostra les",
    "                           tecles generals.",
    "",
    f"{UL}Dins l'ajuda{UL}",
    " Fletxes, RePàg, AvPàg, Inici i Fi mouen el text.  Esc tanca l'ajuda.",
]

HELP_KEYS = [
    f"{HL}TECLES GENERALS{HL}",
    "",
    f"{UL}A les pantalles de dades{UL}",
    " Intro, Tab           Accepta el camp i passa al següent.",
    " Fletxa avall/amunt   Camp següent / camp anterior.",
    " RePàg, AvPàg         Primer / darrer camp de la pantalla.",
    " Esc                  Desfà el camp i torna al primer; al primer, surt.",
    " F1                   Ajuda de la pantalla.",
    " F4                   Llista dels valors possibles, si el camp en té.",
    " Clic del ratolí      Va al camp clicat.",
    "",
    f"{UL}Mentre s'escriu en un camp{UL}",
    " Fletxes laterals     Mouen el cursor.  Inici, Fi: principi i final.",
    " Ctrl+Fletxes         Paraula anterior / paraula següent.",
    " Ins                  Canvia entre inserir i sobreescriure.",
    " Retrocés, Supr       Esborra el caràcter de l'esquerra / el del cursor.",
    " Ctrl+Y, Ctrl+Inici   Buida el camp.",
    " Ctrl+C, Ctrl+V       Copia el contingut del camp / l'enganxa.",
    " Alt+X, Alt+C         Calculadora, calendari: el resultat va al camp.",
    " Alt+V                El paper del rebut: on va cada dada.",
    " Als camps d'opcions (entre dues fletxes), l'Espai i les fletxes laterals",
    " canvien l'opció, i una lletra tria l'opció que comença per aquesta lletra.",
    "",
    f"{UL}La calculadora (Alt+X){UL}",
    " Xifres, punt         El número. Retrocés esborra la darrera xifra.",
    " + - * /              Operacions; = o Intro dona el total.",
    " %                    Percentatge: 200 + 10 % fa 20.",
    " R                    Arrodoneix a cèntims.   T  Canvia el signe.",
    " C                    Esborra el número; dos cops, el total; tres, la cinta.",
    " Fletxes laterals     Mouen la calculadora cap a un costat o l'altre.",
    " F                    Escriu el resultat al camp en cèntims: 12.5 fa 1250.",
    " Esc                  Tanca sense escriure res. La cinta es conserva.",
    "",
    f"{UL}El calendari (Alt+C){UL}",
    " Fletxes              Dia anterior o següent, setmana anterior o següent.",
    " RePàg, AvPàg         Tres mesos enrere o endavant.",
    " Inici, Fi            Gener o desembre del mateix any.",
    " F                    Escriu la data triada al camp.   Esc  Tanca.",
    "",
    f"{UL}El paper del rebut (Alt+V){UL}",
    " Les 25 files del paper, cadascuna amb la dada que s'hi imprimeix, tal com",
    " estan ara els valors (també el número que s'està escrivint). Una fila on",
    " cauen dues dades, o una dada que surt del paper, es veu ressaltada, amb",
    " l'avís del pla de files. A sota: matriu, duplicat i membret.",
    " Esc, Alt+V           Tanca.",
    "",
    f"{UL}Dins l'ajuda{UL}",
    " Fletxes, RePàg, AvPàg, Inici i Fi mouen el text.  Esc tanca l'ajuda.",
]


def write_all(folder):
    """The Catalan pages in the folder itself."""
    write_help(folder / "QPLAYOUT.HLP", HELP_LAYOUT)
    write_help(folder / "QPMENUEX.HLP", HELP_KEYS)
