"""The administrative templates: well-formed, in the order of PolicyDefinitions.xsd, every reference
and refId resolved, and every key, value name, type and range as in the program's policy table.
    python3 check_policy_templates.py POLICY_DIR TABLE_FILE   (TABLE_FILE: what policy_table.exe prints)"""
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

folder, table_file = pathlib.Path(sys.argv[1]), sys.argv[2]
problems = []


def load(name):
    try:
        root = ET.parse(folder / name).getroot()
    except ET.ParseError as error:
        sys.exit(f"{name}: not well-formed: {error}")
    for element in root.iter():
        element.tag = element.tag.split("}")[-1]
    return root

# The children each element may have, in the order of the schema's sequences; the choices
# ("elements", "presentation") are not listed.
ORDER = {key: names.split() for key, names in {
    "policyDefinitions": "policyNamespaces supersededAdm annotation resources supportedOn categories policies",
    "policyNamespaces": "target using", "supportedOn": "products definitions", "definitions": "definition",
    "categories": "category", "category": "annotation parentCategory seeAlso keywords", "policies": "policy",
    "policy": "annotation parentCategory seeAlso keywords supportedOn enabledValue disabledValue enabledList "
              "disabledList elements",
    "enum": "item", "item": "value valueList", "stringTable": "string", "presentationTable": "presentation",
    "policyDefinitionResources": "displayName description annotation resources",
    "resources": "stringTable presentationTable"}.items()}

def check_order(element, path):
    allowed, last = ORDER.get(element.tag), 0
    for child in element:
        if allowed is not None:
            at = allowed.index(child.tag) if child.tag in allowed else -1
            if at < last:
                problems.append(f"{path}/{child.tag}: not in the schema's order")
            last = max(last, at)
        check_order(child, f"{path}/{child.tag}")

admx = load("DormiGuard.admx")
check_order(admx, "admx")
policies = admx.find("policies")
references = {"string": set(), "presentation": set()}
for element in admx.iter():
    for value in element.attrib.values():
        if match := re.fullmatch(r"\$\((string|presentation)\.(.+)\)", value):
            references[match[1]].add(match[2])
for language in ("en-US", "ja-JP"):
    adml = load(f"{language}/DormiGuard.adml")
    check_order(adml, language)
    strings = {string.get("id") for string in adml.iter("string")}
    problems += [f"{language}: no string {name}" for name in sorted(references["string"] - strings)]
    shown = {p.get("id"): {c.get("refId") for c in p} for p in adml.iter("presentation")}
    if set(shown) != references["presentation"]:
        problems.append(f"{language}: presentations {sorted(shown)}, used {sorted(references['presentation'])}")
    for policy in policies:
        ids = {element.get("id") for element in policy.findall("elements/*")}
        ref_ids = shown.get(policy.get("presentation", "")[len("$(presentation."):-1], set())
        if ref_ids != ids:
            problems.append(f"{language}: {policy.get('name')}: refIds {sorted(ref_ids)}, elements {sorted(ids)}")

def dwords(values):  # the type and range of the DWORDs these value elements write
    numbers = [int(v.find("decimal").get("value")) for v in values if v is not None and v.find("decimal") is not None]
    if not numbers or len(numbers) != len(values) or len(numbers) != max(numbers) - min(numbers) + 1:
        return "not a gapless DWORD range", 0, 0
    return "REG_DWORD", min(numbers), max(numbers)

written = {}
for policy in policies:
    key = policy.get("key")
    if policy.get("class") != "Both":
        problems.append(f"{policy.get('name')}: class {policy.get('class')}")
    if policy.get("valueName"):
        written[policy.get("valueName")] = (key, *dwords([policy.find("enabledValue"), policy.find("disabledValue")]))
    for element in policy.findall("elements/*"):
        element_key = element.get("key", key)
        if element.tag == "decimal" and element.get("storeAsText") != "true":
            written[element.get("valueName")] = (element_key, "REG_DWORD", int(element.get("minValue", "0")),
                                                 int(element.get("maxValue", "9999")))
        elif element.tag == "enum":
            written[element.get("valueName")] = (element_key, *dwords([item.find("value") for item in element]))
        elif element.tag == "list" and not {"valuePrefix", "explicitValue", "expandable"} & set(element.attrib):
            written[element_key.split("\\")[-1]] = (element_key, "REG_SZ-list", 0, 0)
        else:
            problems.append(f"{policy.get('name')}: a {element.tag} element the program does not read")

expected = {}
for line in pathlib.Path(table_file).read_text().splitlines():
    name, kind, low, high = line.split()
    key = "Software\\Policies\\DormiGuard" + ("\\" + name if kind == "REG_SZ-list" else "")
    expected[name] = (key, kind, int(low), int(high))
for name in sorted(set(written) | set(expected)):
    if written.get(name) != expected.get(name):
        problems.append(f"{name}: the template writes {written.get(name)}, the program reads {expected.get(name)}")

print("\n".join(problems) if problems else "templates ok")
sys.exit(1 if problems else 0)
